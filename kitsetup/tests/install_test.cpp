// Whole installs in a sandbox: copies, overwrite policies, shortcuts, the
// product record, the log, the second-install refusal and the uninstall.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "kit_sandbox.h"
#include "kitsetup/install_log.h"
#include "kitsetup/registry_helper.h"
#include "kitsetup_tests_paths.h"
#include "zub/platform/folders.h"
#include "zub/platform/shelllink.h"
#include "zub/text.h"

namespace zub::kitsetup::test {
namespace {

namespace pf = zub::platform;

class Install : public KitSandbox {
protected:
    std::string InstallLogText() const { return ReadFile(InstallDir() / "installLog.log"); }
    std::wstring ProductValue(const std::wstring& name) const {
        std::wstring v;
        RegistryHelper::ReadString(kHkeyLocalMachine, L"software\\zubco\\vault", name, v);
        return v;
    }
    static fs::path Folder(pf::SpecialFolder f) {
        std::wstring p;
        pf::GetSpecialFolder(f, p);
        return zub::WideToNarrow(p);
    }
};

TEST_F(Install, CopiesFilesSubFoldersAndDirectoriesAndWritesTheRecord) {
    WriteScript(
        ScriptXml("<MODULES><MODULE name='core' fgs='bin,docs'/></MODULES>"
                  "<FILEGROUPS><FILEGROUP name='bin' target='0\\bin' files='tool,sub\\a.txt'/>"
                  "<FILEGROUP name='docs' target='0' files='manual'/></FILEGROUPS>"));
    WriteSource("tool", "T");
    WriteSource("sub/a.txt", "A");
    WriteSource("manual/index.txt", "I");
    WriteSource("manual/part/1.txt", "P1");

    InstallerMgr mgr;
    Prepare(mgr, L"core");
    EXPECT_EQ(mgr.InstallPath, zub::NarrowToWide(InstallDir().string()));
    EXPECT_EQ(mgr.CountFiles(), 3);
    std::vector<std::wstring> progress;
    struct Sink : SignalReceiver {
        std::vector<std::wstring>* seen;
        void Slot(int n, const std::wstring& t) { seen->push_back(std::to_wstring(n) + L" " + t); }
    } sink;
    sink.seen = &progress;
    mgr.Progress().connect(&sink, &Sink::Slot);
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());

    EXPECT_EQ(ReadFile(InstallDir() / "bin/tool"), "T");
    EXPECT_EQ(ReadFile(InstallDir() / "bin/sub/a.txt"), "A");
    EXPECT_EQ(ReadFile(InstallDir() / "manual/index.txt"), "I");
    EXPECT_EQ(ReadFile(InstallDir() / "manual/part/1.txt"), "P1");
    const std::wstring dir = mgr.InstallPath;
    EXPECT_EQ(progress, (std::vector<std::wstring>{L"1 " + dir + L"/bin/tool",
                                                   L"1 " + dir + L"/bin/sub/a.txt",
                                                   L"1 " + dir + L"/manual"}));
    // The four values of the product record.
    EXPECT_EQ(ProductValue(L"appPath"), dir);
    EXPECT_EQ(ProductValue(L"module"), L"core");
    EXPECT_EQ(ProductValue(L"version"), L"1.2");
    EXPECT_EQ(ProductValue(L"product"), L"Zub Vault");
    InstallRecord record;
    ASSERT_TRUE(InstallRecord::Find(mgr.ProductKey(), record));
    EXPECT_TRUE(record.complete);
    EXPECT_EQ(record.installDir, dir);
    EXPECT_EQ(mgr.LogPath(), dir + L"/installLog.log");
}

TEST_F(Install, ASecondInstallIsRefusedUntilUninstalled) {
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='g'/></MODULES>"
                  "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>"));
    WriteSource("f", "x");
    {
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        EXPECT_EQ(mgr.InstalledProduct(), L"");
        ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    }
    InstallerMgr again;
    Prepare(again, L"m");
    EXPECT_EQ(again.InstalledProduct(), L"Zub Vault(1.2)");
    EXPECT_EQ(again.installedAppPath, zub::NarrowToWide(InstallDir().string()));
    EXPECT_EQ(again.installedModules, L"m");
    ASSERT_EQ(again.Uninstall(again.installedAppPath), 0);
    InstallerMgr third;
    Prepare(third, L"m");
    EXPECT_EQ(third.InstalledProduct(), L"");
}

TEST_F(Install, NonStringVersionCountsAsNotInstalled) {
    WriteScript(ScriptXml(""));
    pf::RegKey key;
    ASSERT_EQ(pf::RegCreateKey(pf::RootKey::LocalMachine, L"software\\zubco\\vault",
                               pf::kKeyAllAccess, key),
              0u);
    pf::RegSetDword(key, L"version", 3);
    InstallerMgr mgr;
    Prepare(mgr, L"");
    EXPECT_EQ(mgr.InstalledProduct(), L"");
}

// Builds source and target for one overwrite case, oldest first.
TEST_F(Install, OverwritePolicies) {
    struct Case {
        const char* mode;
        const char* order;  // "s": source only; "st": target newer; "ts": source newer
        bool copied;
    } cases[] = {
        {"kowNever", "s", true},      {"kowNever", "ts", false},     {"kowAlways", "st", true},
        {"kowTime", "ts", true},      {"kowTime", "st", false},      {"kowVersion", "ts", false},
        {"kowVerThenTm", "ts", true}, {"kowVerThenTm", "st", false}, {"kowBogus", "ts", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.order);
        fs::remove_all(InstallDir());
        WriteScript(ScriptXml(std::string("<MODULES><MODULE name='m' fgs='g'/></MODULES>"
                                          "<FILEGROUPS><FILEGROUP name='g' target='0' "
                                          "files='f' overwrite='") +
                              c.mode + "'/></FILEGROUPS>"));
        const std::string order = c.order;
        fs::remove(Payload() / "source/f");
        for (const char who : order) {
            // Creation times need a tick of the file system's clock between them.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (who == 's') WriteSource("f", "new");
            if (who == 't') WriteFile(InstallDir() / "f", "old");
        }
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
        EXPECT_EQ(ReadFile(InstallDir() / "f"), c.copied ? "new" : "old");
        const std::string log = InstallLogText();
        const std::string target = (InstallDir() / "f").string();
        if (c.copied) {
            EXPECT_NE(log.find("已拷贝文件 " + target), std::string::npos) << log;
        } else {
            EXPECT_NE(log.find("目标文件已存在，无需拷贝 " + target), std::string::npos) << log;
        }
        ASSERT_EQ(mgr.Uninstall(L""), 0) << zub::WideToUtf8(mgr.LastError());
    }
}

TEST_F(Install, UnrecognisedModeInCodeFailsTheCopy) {
    InstallerMgr mgr;
    FileGroups& fg = mgr.GetFileGroups();
    WriteFile(Dir() / "t", "old");
    WriteFile(Dir() / "s", "new");
    bool copied = true;
    EXPECT_FALSE(fg.CopyOneFile(zub::NarrowToWide((Dir() / "t").string()),
                                zub::NarrowToWide((Dir() / "s").string()), 9, copied));
    EXPECT_FALSE(copied);
    EXPECT_EQ(fg.error.code, -1);
    EXPECT_EQ(fg.error.message, L"拷贝文件 " + zub::NarrowToWide((Dir() / "t").string()) +
                                    L" 失败, 不识别的覆盖类型 9");
}

TEST_F(Install, BadEntriesAndUndefinedNamesFailTheirStep) {
    struct Case {
        const char* name;
        std::string body;
        int code;
    } cases[] = {
        {"empty entry", "<FILEGROUP name='g' target='0' files='f,,f'/>", 161},
        {"missing source", "<FILEGROUP name='g' target='0' files='nothing'/>", 2},
        {"undefined group", "<FILEGROUP name='other' target='0' files='f'/>", -1},
    };
    WriteSource("f", "x");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteScript(ScriptXml("<MODULES><MODULE name='m' fgs='g'/></MODULES><FILEGROUPS>" + c.body +
                              "</FILEGROUPS>"));
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        EXPECT_EQ(mgr.ExecInstall(), -1);
        EXPECT_EQ(mgr.LastErrorCode(), c.code) << zub::WideToUtf8(mgr.LastError());
        EXPECT_FALSE(mgr.LastError().empty());
        EXPECT_TRUE(ProductValue(L"version").empty());  // step 8 never ran
        EXPECT_TRUE(ProductValue(L"appPath").empty());  // and the first write was undone
    }
    // An undefined module fails too, before anything is copied.
    fs::remove_all(InstallDir());
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='g'/></MODULES>"
                  "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>"));
    InstallerMgr mgr;
    Prepare(mgr, L"m,ghost");
    EXPECT_EQ(mgr.ExecInstall(), -1);
    EXPECT_EQ(mgr.LastError(), L"模块 ghost 未定义");
    EXPECT_FALSE(fs::exists(InstallDir() / "f"));
}

TEST_F(Install, ShortcutsOnlyForInstalledGroups) {
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='g'/></MODULES>"
                  "<FILEGROUPS><FILEGROUP name='g' target='0\\bin' files='f'/>"
                  "<FILEGROUP name='other' target='0' files='f'/></FILEGROUPS>"
                  "<MENUS><MENU txt='Zub\\Vault' target='bin\\f' shortcut='1' dependnOn='g'/>"
                  "<MENU txt='Plain' target='/usr/bin/env' isSpecial='1' dependnOn='g'/>"
                  "<MENU txt='Skipped' target='f' dependnOn='other'/>"
                  "<MENU txt='NoGroup' target='f'/></MENUS>"));
    WriteSource("f", "x");
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    const fs::path programs = Folder(pf::SpecialFolder::CommonPrograms);
    const fs::path desktop = Folder(pf::SpecialFolder::CommonDesktopDirectory);
    pf::ShellLink link;
    ASSERT_EQ(pf::ReadShellLink(zub::NarrowToWide((programs / "Zub/Vault.desktop").string()), link),
              0u);
    EXPECT_EQ(link.target, mgr.InstallPath + L"/bin/f");
    EXPECT_EQ(link.workingDirectory, mgr.InstallPath);
    ASSERT_EQ(pf::ReadShellLink(zub::NarrowToWide((desktop / "Vault.desktop").string()), link), 0u);
    EXPECT_EQ(link.target, mgr.InstallPath + L"/bin/f");
    ASSERT_EQ(pf::ReadShellLink(zub::NarrowToWide((programs / "Plain.desktop").string()), link),
              0u);
    EXPECT_EQ(link.target, L"/usr/bin/env");
    EXPECT_FALSE(fs::exists(programs / "Skipped.desktop"));
    EXPECT_FALSE(fs::exists(programs / "NoGroup.desktop"));
    EXPECT_FALSE(fs::exists(desktop / "Plain.desktop"));
    const std::string log = InstallLogText();
    EXPECT_NE(log.find("创建菜单: Zub\\Vault"), std::string::npos);
    EXPECT_EQ(log.find("创建菜单: Skipped"), std::string::npos);
}

TEST_F(Install, LogLinesWithAndWithoutDebug) {
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug);
        fs::remove_all(InstallDir());
        WriteScript(
            ScriptXml("<MODULES><MODULE name='m' fgs='g'/></MODULES>"
                      "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>",
                      debug ? "debug='yes'" : "debug='0'"));
        WriteSource("f", "x");
        // The directory exists, so the start line lands in its log.
        fs::create_directories(InstallDir());
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
        const std::string log = InstallLogText();
        const std::string dir = InstallDir().string();
        for (const std::string& always : std::vector<std::string>{
                 "开始安装 Zub Vault(1.2) =========================", "创建安装目录完毕，" + dir,
                 "已拷贝文件 " + dir + "/f"}) {
            EXPECT_NE(log.find(always), std::string::npos) << always;
        }
        for (const std::string& marked : std::vector<std::string>{
                 "InstallerMgr::ExecInstall() in", "开始安装，共 8 步", "1/8 开始",
                 "4/8 开始，拷贝文件或目录，数目=1", "开始拷贝文件组 g 的文件",
                 "5.1 开始，注册组件 (regsvr32)，数目=0", "8/8 结束",
                 "写注册表, software\\zubco\\vault, version, 1.2"}) {
            EXPECT_EQ(log.find(marked) != std::string::npos, debug) << marked;
        }
        std::istringstream in(log);
        for (std::string l; std::getline(in, l);) EXPECT_TRUE(LogMessage(l).has_value()) << l;
        ASSERT_EQ(mgr.Uninstall(L""), 0) << zub::WideToUtf8(mgr.LastError());
    }
}

TEST_F(Install, EarlyLinesOfAFreshInstallWaitForItsLog) {
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='g'/></MODULES>"
                  "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>"));
    WriteSource("f", "x");
    fs::create_directories(Root() / "tmp");
    InstallLog::Log(L"before");
    EXPECT_NE(ReadFile(Root() / "tmp/zub.log").find(": before"), std::string::npos);
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    // Written before the directory existed, in order, into its log.
    const std::string log = InstallLogText();
    const auto start = log.find("开始安装");
    EXPECT_NE(start, std::string::npos) << log;
    EXPECT_LT(start, log.find("创建安装目录完毕"));
    EXPECT_EQ(ReadFile(Root() / "tmp/zub.log").find("开始安装"), std::string::npos);
}

TEST_F(Install, SharedGroupsAndActionsRunOnceEmptySelectionStillWritesRecord) {
    WriteProgram("count", "echo run >> \"$1\"");
    WriteScript(ScriptXml(
        "<MODULES><MODULE name='a' fgs='g' beforeInstall='once'/>"
        "<MODULE name='b' fgs='g' beforeInstall='once'/></MODULES>"
        "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>"
        "<ACTIONS><ACTION name='once' progName='count' progParas='%p/../count.txt'/></ACTIONS>"));
    WriteSource("f", "x");
    InstallerMgr mgr;
    Prepare(mgr, L"a,b");
    EXPECT_EQ(mgr.SelectedFgs(), L"g");
    EXPECT_EQ(mgr.CountFiles(), 1);
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    EXPECT_EQ(ReadFile(InstallDir().parent_path() / "count.txt"), "run\n");

    ASSERT_EQ(mgr.Uninstall(mgr.InstallPath), 0);
    fs::remove(InstallDir().parent_path() / "count.txt");
    InstallerMgr empty;
    Prepare(empty, L"");
    ASSERT_EQ(empty.ExecInstall(), 0);
    EXPECT_TRUE(fs::is_directory(InstallDir()));
    EXPECT_FALSE(fs::exists(InstallDir() / "f"));
    EXPECT_EQ(ProductValue(L"module"), L"");
    EXPECT_EQ(ProductValue(L"version"), L"1.2");
}

TEST_F(Install, UninstallLeavesTheSandboxAsBefore) {
    WriteScript(ScriptXml(
        "<MODULES><MODULE name='m' fgs='bin,keep'/></MODULES>"
        "<FILEGROUPS><FILEGROUP name='bin' target='0\\bin' files='lib.so' reg='1'/>"
        "<FILEGROUP name='keep' target='0\\etc' files='conf,tree' overwrite='kowAlways'/>"
        "</FILEGROUPS>"
        "<MENUS><MENU txt='Zub\\Vault' target='bin\\lib.so' shortcut='1' dependnOn='bin'/>"
        "</MENUS>"));
    fs::copy_file(KITTEST_REGWRITE, Payload() / "source/lib.so");
    WriteSource("tree/a/b.txt", "b");
    WriteSource("conf", "new conf");
    // Something of the user's is there already: an overwritten file stays.
    WriteFile(InstallDir() / "etc/conf", "user conf");
    WriteFile(InstallDir() / "etc/other", "user file");
    pf::RegKey key;
    ASSERT_EQ(pf::RegCreateKey(pf::RootKey::LocalMachine, L"software\\zubco\\other",
                               pf::kKeyAllAccess, key),
              0u);
    pf::RegSetString(key, L"keep", L"me");
    key.Close();
    const std::string before = Snapshot();

    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    std::wstring registered;
    EXPECT_EQ(RegistryHelper::ReadString(kHkeyLocalMachine, L"software\\kittest\\regwrite", L"path",
                                         registered),
              0);
    EXPECT_EQ(registered, mgr.InstallPath + L"/bin/lib.so");
    EXPECT_EQ(ReadFile(InstallDir() / "etc/conf"), "new conf");
    EXPECT_NE(Snapshot(), before);

    InstallerMgr un;
    Prepare(un, L"");
    std::vector<std::wstring> report;
    ASSERT_EQ(un.Uninstall(un.ReadProductValue(L"appPath"), &report), 0)
        << zub::WideToUtf8(un.LastError());
    // Overwritten content cannot come back; everything else does.
    WriteFile(InstallDir() / "etc/conf", "user conf");
    EXPECT_EQ(Snapshot(), before);
}

}  // namespace
}  // namespace zub::kitsetup::test
