// Prerequisite checks and the programs started around the install.
#include <gtest/gtest.h>

#include "kit_sandbox.h"
#include "kitsetup/registry_helper.h"
#include "zub/text.h"

namespace zub::kitsetup::test {
namespace {

namespace pf = zub::platform;

TEST(Substitute, Tokens) {
    struct Case {
        std::wstring path, version, in, out;
        bool error;
    } cases[] = {
        {L"/opt/z", L"1.0", L"-d %p -v %v", L"-d /opt/z -v 1.0", false},
        {L"/opt/my dir", L"1", L"%q x", L"\"/opt/my dir\" x", false},
        {L"/p", L"1", L"100%% %p", L"100% /p", false},
        {L"/p", L"1", L"%%p", L"%p", false},  // the inserted "%" is not rescanned
        {L"/p", L"1", L"%x %p", L"%x %p", false},
        {L"/p", L"1", L"%p %", L"/p %", true},
        {L"", L"1", L"%p %v", L"%p %v", false},  // an empty value stops too
        {L"/p", L"1", L"no tokens", L"no tokens", false},
    };
    for (const auto& c : cases) {
        Actions a;
        a.installPath = c.path;
        a.version = c.version;
        EXPECT_EQ(a.Substitute(c.in), c.out) << zub::WideToUtf8(c.in);
        EXPECT_EQ(a.error.code, c.error ? -1 : 0) << zub::WideToUtf8(c.in);
        if (c.error) {
            EXPECT_EQ(a.error.message,
                      L"[ACTION]节点[progParas]属性值子项[" + c.out + L"]命令替换符号无法解析");
        }
    }
}

class ChecksActions : public KitSandbox {
protected:
    void Key(const std::wstring& sub) {
        pf::RegKey k;
        ASSERT_EQ(pf::RegCreateKey(pf::RootKey::LocalMachine, sub, pf::kKeyAllAccess, k), 0u);
    }
};

TEST_F(ChecksActions, RegistryAndServiceChecks) {
    Key(L"software\\present");
    WriteFile(Root() / "etc/systemd/system/zubd.service", "[Unit]\n");
    WriteScript(
        ScriptXml("<CHECKS>"
                  "<CHECK name='second' paras='chkRegKey,HKEY_LOCAL_MACHINE\\software\\absent||"
                  "HKEY_LOCAL_MACHINE\\software\\present'/>"
                  "<CHECK name='none' paras='chkRegKey,HKEY_LOCAL_MACHINE\\software\\absent'/>"
                  "<CHECK name='badroot' paras='chkRegKey,HKLM\\software\\present'/>"
                  "<CHECK name='noslash' paras='chkRegKey,justtext'/>"
                  "<CHECK name='misspelt' paras='chkRegKy,HKEY_LOCAL_MACHINE\\software\\present'/>"
                  "<CHECK name='short' paras='chkRegKey'/>"
                  "<CHECK name='svc' paras='chkService,nothere||zubd'/>"
                  "<CHECK name='nosvc' paras='chkService,nothere'/>"
                  "</CHECKS>"));
    SetEnv("ZUB_PRIVILEGED", "1");
    InstallerMgr mgr;
    Prepare(mgr, L"");
    Checks& checks = mgr.GetChecks();
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"second", true},   {L"none", false},    {L"badroot", false},
        {L"noslash", false}, {L"misspelt", true}, {L"short", false},
        {L"svc", true},      {L"nosvc", false},   {L"undefined", false},
    };
    for (const auto& [name, passes] : cases) EXPECT_EQ(checks.Run(name), passes) << name;
    // Without administrator rights a service cannot be opened with all access.
    SetEnv("ZUB_PRIVILEGED", "0");
    EXPECT_FALSE(checks.Run(L"svc"));
}

TEST_F(ChecksActions, FailedChecksQueueTheirActionsOnceAndRunThemFirst) {
    WriteProgram("fix", "echo \"$1\" >> \"$OUT\"");
    SetEnv("OUT", (Dir() / "order").string());
    WriteScript(ScriptXml(
        "<MODULES><MODULE name='m' checks='c1,c2,ok,blocker' fgs='g' "
        "beforeInstall='before'/></MODULES>"
        "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>"
        "<CHECKS><CHECK name='c1' paras='chkRegKey,HKEY_USERS\\no' actionsWhenFails='fix1' "
        "caption='first'/>"
        "<CHECK name='c2' paras='chkRegKey,HKEY_USERS\\no2' actionsWhenFails='fix1'/>"
        "<CHECK name='ok' paras='chkRegKey,HKEY_LOCAL_MACHINE\\software'/>"
        "<CHECK name='blocker' paras='chkService,none' failMsg='请先安装服务'/></CHECKS>"
        "<ACTIONS><ACTION name='fix1' progName='fix' progParas='fix'/>"
        "<ACTION name='before' progName='fix' progParas='before'/></ACTIONS>"));
    WriteSource("f", "x");
    Key(L"software");
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    const auto results = mgr.RunChecks();
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].caption, L"first");
    EXPECT_FALSE(results[0].passed);
    EXPECT_FALSE(results[0].blocking);
    EXPECT_TRUE(results[2].passed);
    EXPECT_TRUE(results[3].blocking);
    EXPECT_EQ(results[3].failMsg, L"请先安装服务");
    EXPECT_EQ(mgr.checkFailActions, L"fix1");
    mgr.RunChecks();  // a second visit of the check page queues nothing new
    EXPECT_EQ(mgr.checkFailActions, L"fix1");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    EXPECT_EQ(ReadFile(Dir() / "order"), "fix\nbefore\n");
}

TEST_F(ChecksActions, ActionsRunAroundTheCopyInTheirDirectories) {
    WriteProgram("probe",
                 "{ pwd -P; [ -e \"$1/f\" ] && echo copied || echo absent; shift; "
                 "for a; do echo \"[$a]\"; done; } >> \"$OUT\"");
    SetEnv("OUT", (Dir() / "out").string());
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='g' beforeInstall='pre' afterInstall='post,cur'/>"
                  "</MODULES><FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>"
                  "<ACTIONS><ACTION name='pre' progName='probe' progParas='%q %v'/>"
                  "<ACTION name='post' progName='probe' progParas='%q \"two words\"' "
                  "actionType='RunProgWait'/>"
                  "<ACTION name='cur' progName='probe' progParas='%q' exePostion='exeCurrentPath'/>"
                  "</ACTIONS>",
                  ""));
    WriteSource("f", "x");
    // Blanks in the install directory stay one argument through %q.
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    mgr.InstallPath = zub::NarrowToWide((Root() / "opt/my dir").string());
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    const std::string dir = fs::canonical(Root() / "opt/my dir").string();
    EXPECT_EQ(ReadFile(Dir() / "out"),
              dir + "\nabsent\n[1.2]\n" +            // before the copy, in the directory
                  dir + "\ncopied\n[two words]\n" +  // after it
                  fs::canonical(Payload()).string() +
                  "\ncopied\n");  // in the installer's directory
}

TEST_F(ChecksActions, ActionFailures) {
    struct Case {
        const char* name;
        std::string action;
        std::wstring messageStart;
    } cases[] = {
        {"unstartable program", "<ACTION name='a' progName='no-such-program-zub'/>",
         L"执行失败(2): "},
        {"delayed start", "<ACTION name='a' progName='true' actionType='RunProgDelay'/>",
         L"执行失败("},
        {"undefined action", "<ACTION name='other' progName='true'/>", L"动作 a 未定义"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(InstallDir());
        WriteScript(
            ScriptXml("<MODULES><MODULE name='m' afterInstall='a' fgs='g'/></MODULES>"
                      "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/>"
                      "</FILEGROUPS><ACTIONS>" +
                      c.action + "</ACTIONS>"));
        WriteSource("f", "x");
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        EXPECT_EQ(mgr.ExecInstall(), -1);
        EXPECT_EQ(mgr.LastErrorCode(), -1);
        EXPECT_EQ(mgr.LastError().rfind(c.messageStart, 0), 0u) << zub::WideToUtf8(mgr.LastError());
        // Step 6 failed after the copy; steps 7 and 8 did not run and the copy was undone.
        EXPECT_FALSE(fs::exists(InstallDir() / "f"));
        EXPECT_TRUE(fs::exists(zub::WideToNarrow(mgr.LogPath())));
        std::wstring v;
        EXPECT_NE(
            RegistryHelper::ReadString(kHkeyLocalMachine, L"software\\zubco\\vault", L"version", v),
            0);
    }
}

}  // namespace
}  // namespace zub::kitsetup::test
