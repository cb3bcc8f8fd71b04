// What an install may touch and how it is undone: the record only the
// machine's hive holds, scripts that point outside their folders, failed
// installs that leave nothing, and the commands and menu entries of a
// finished one.
#include <gtest/gtest.h>

#include <cstdlib>

#include "kit_sandbox.h"
#include "kitsetup/install_record.h"
#include "kitsetup/registry_helper.h"
#include "kitsetup_tests_paths.h"
#include "zub/platform/folders.h"
#include "zub/platform/registry.h"
#include "zub/platform/shelllink.h"
#include "zub/text.h"

namespace zub::kitsetup::test {
namespace {

namespace pf = zub::platform;

std::wstring W(const fs::path& p) { return zub::NarrowToWide(p.string()); }
fs::path FromWide(const std::wstring& p) { return zub::WideToNarrow(p); }

class Undo : public KitSandbox {
protected:
    std::wstring ProductValue(const std::wstring& name) const {
        std::wstring v;
        RegistryHelper::ReadString(kHkeyLocalMachine, L"software\\zubco\\vault", name, v);
        return v;
    }
    void OneFileScript(const std::string& extra = "") {
        WriteScript(ScriptXml(
            "<MODULES><MODULE name='m' fgs='g'" + extra +
            "/></MODULES><FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>"));
        WriteSource("f", "x");
    }
};

TEST_F(Undo, UninstallTouchesOnlyWhatTheInstallMade) {
    OneFileScript();
    // Planted before the install: outside ZUB_ROOT, inside it but outside any
    // folder a script names, in the install directory, reached through a link.
    const fs::path outside = Dir() / "planted.txt", etc = Root() / "etc/keep.conf",
                   user = InstallDir() / "user.txt", escaped = Dir() / "escaped/file",
                   emptyDir = Dir() / "empty";
    for (const auto& p : {outside, etc, user, escaped}) WriteFile(p, "mine");
    fs::create_directories(emptyDir);
    fs::create_directory_symlink(Dir() / "escaped", InstallDir() / "esc");
    pf::RegKey other;
    ASSERT_EQ(
        pf::RegCreateKey(pf::RootKey::LocalMachine, L"software\\other", pf::kKeyAllAccess, other),
        0u);
    pf::RegSetString(other, L"keep", L"me");
    other.Close();

    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    // The manifest an earlier version trusted is any user's to write: ignored.
    WriteFile(InstallDir() / "kitsetup-manifest.json",
              "{\"installDir\":\"" + InstallDir().string() + "\",\"createdFiles\":[\"" +
                  outside.string() + "\",\"" + user.string() +
                  "\"],\"registryValues\":[{\"root\":3,\"subKey\":\"software\\\\other\","
                  "\"name\":\"keep\",\"existed\":true,\"previous\":\"changed\"}]}");
    // Even the record cannot send an uninstall elsewhere.
    InstallRecord r;
    ASSERT_TRUE(InstallRecord::Find(mgr.ProductKey(), r));
    const std::vector<fs::path> planted = {outside, etc, InstallDir() / "../../../planted.txt",
                                           InstallDir() / "esc/file"};
    for (const auto& p : planted) r.createdFiles.push_back(W(p));
    r.shortcuts.push_back(W(outside));
    r.commandLinks.push_back({W(outside), W(InstallDir() / "f")});
    r.createdDirs.push_back(W(emptyDir));
    r.registryValues.push_back({kHkeyLocalMachine, L"software\\other", L"keep", true, L"x"});
    r.registryValues.push_back({kHkeyCurrentUser, L"software\\zubco\\vault", L"keep", false, {}});
    r.createdKeys.push_back({kHkeyLocalMachine, L"software\\other"});
    r.Store();

    std::vector<std::wstring> report;
    ASSERT_EQ(mgr.Uninstall(L"", &report), 0) << zub::WideToUtf8(mgr.LastError());
    for (const auto& p : {outside, etc, user, escaped}) EXPECT_EQ(ReadFile(p), "mine") << p;
    EXPECT_TRUE(fs::is_directory(emptyDir));
    std::wstring keep;
    EXPECT_EQ(RegistryHelper::ReadString(kHkeyLocalMachine, L"software\\other", L"keep", keep), 0);
    EXPECT_EQ(keep, L"me");
    // What it did make is gone, and so is its record.
    EXPECT_FALSE(fs::exists(InstallDir() / "f"));
    EXPECT_TRUE(ProductValue(L"appPath").empty());
    EXPECT_FALSE(InstallRecord::Find(mgr.ProductKey(), r));
    const auto refused = std::count_if(report.begin(), report.end(), [](const std::wstring& l) {
        return l.rfind(L"不属于本次安装", 0) == 0;
    });
    EXPECT_EQ(refused, 9);
}

TEST_F(Undo, ScriptsThatLeaveTheirFoldersAreRefusedWithTheirLine) {
    struct Case {
        const char* name;
        std::string general, group, menu;
        int line;
    } cases[] = {
        {"base-less absolute target", "", "target='2/abs/path' files='f'", "", 4},
        {"one-character target", "", "target='x' files='f'", "", 4},
        {"empty target", "", "target='' files='f'", "", 4},
        {"install target climbs", "", "target='0\\..\\..\\x' files='f'", "", 4},
        {"system target climbs", "", "target='1\\..\\..\\etc' files='f'", "", 4},
        {"entry climbs", "", "target='0' files='f,..\\..\\x'", "", 4},
        {"absolute entry", "", "target='0' files='/etc/passwd'", "", 4},
        {"company alias climbs", "companyAlias='../x'", "target='0' files='f'", "", 2},
        {"product alias climbs", "productAlias='..\\..\\x'", "target='0' files='f'", "", 2},
        {"product alias is ..", "productAlias='..'", "target='0' files='f'", "", 2},
        {"menu climbs", "", "target='0' files='f'", "txt='..\\..\\x'", 5},
        {"icon climbs", "", "target='0' files='f'", "txt='x' icon='..\\..\\i.svg'", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // One element per line: GENERAL on 2, the group on 4, the menu on 5.
        std::string xml = ScriptXml(
            "\n<MODULES><MODULE name='m' fgs='g'/></MODULES>\n<FILEGROUPS><FILEGROUP name='g' " +
                c.group + "/></FILEGROUPS>\n<MENUS>" +
                (c.menu.empty() ? "" : "<MENU dependnOn='g' " + c.menu + "/>") + "</MENUS>\n",
            c.general);
        // The aliases given last win over ScriptXml's.
        if (!c.general.empty()) {
            const std::string attr = c.general.substr(0, c.general.find('='));
            const auto at = xml.find(attr + "='");
            xml.erase(at, xml.find('\'', at + attr.size() + 2) - at + 1);
        }
        WriteScript(xml);
        InstallerMgr mgr;
        mgr.Init();
        EXPECT_NE(mgr.LoadScript(), 0);
        EXPECT_NE(mgr.LastError().find(L"install.xml 第 " + std::to_wstring(c.line) + L" 行："),
                  std::wstring::npos)
            << zub::WideToUtf8(mgr.LastError());
    }
    // The same places spelt so that they stay inside load.
    WriteScript(
        ScriptXml("<FILEGROUPS><FILEGROUP name='g' target='0\\bin\\..\\lib' "
                  "files='a\\..\\f'/><FILEGROUP name='s' target='1' files='f'/>"
                  "</FILEGROUPS><MENUS><MENU txt='Zub\\x' icon='share\\i.svg'/></MENUS>"));
    InstallerMgr mgr;
    mgr.Init();
    EXPECT_EQ(mgr.LoadScript(), 0) << zub::WideToUtf8(mgr.LastError());
}

TEST_F(Undo, AnInstallDirectoryThatCannotBeWrittenLeavesNothing) {
    OneFileScript();
    WriteFile(Dir() / "afile", "a file, not a folder");
    struct Case {
        const char* name;
        fs::path dir;
    } cases[] = {
        {"below a file", Dir() / "afile/vault"},
        {"exists, cannot be written", "/proc/1"},
    };
    const std::string before = Machine();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        mgr.InstallPath = W(c.dir);
        EXPECT_EQ(mgr.ExecInstall(), -1);
        EXPECT_NE(mgr.LastError().find(W(c.dir)), std::wstring::npos);
        EXPECT_TRUE(ProductValue(L"appPath").empty());
        InstallRecord r;
        EXPECT_FALSE(InstallRecord::Find(mgr.ProductKey(), r));
        EXPECT_EQ(Machine(), before);
        // The log is where it could be written, and says what happened.
        EXPECT_EQ(mgr.LogPath(), W(Root() / "tmp/zub.log"));
        const std::string log = ReadFile(Root() / "tmp/zub.log");
        EXPECT_NE(log.find(zub::WideToUtf8(mgr.LastError())), std::string::npos) << log;
        EXPECT_EQ(log.find("创建安装目录完毕"), std::string::npos) << log;

        // A good install and its uninstall afterwards leave the machine as it was.
        InstallerMgr good;
        Prepare(good, L"m");
        EXPECT_EQ(good.InstalledProduct(), L"");
        ASSERT_EQ(good.ExecInstall(), 0) << zub::WideToUtf8(good.LastError());
        ASSERT_EQ(good.Uninstall(L""), 0) << zub::WideToUtf8(good.LastError());
        EXPECT_EQ(Machine(), before);
    }
}

TEST_F(Undo, AFailedInstallUndoesCopiesRegistrationsAndLinks) {
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='reg,bin' afterInstall='boom'/></MODULES>"
                  "<FILEGROUPS><FILEGROUP name='bin' target='0\\bin' files='lib.so,tree' reg='0'/>"
                  "<FILEGROUP name='reg' target='0\\bin' files='lib.so' reg='1'/></FILEGROUPS>"
                  "<ACTIONS><ACTION name='boom' progName='no-such-program-zub'/></ACTIONS>"));
    fs::copy_file(KITTEST_REGWRITE, Payload() / "source/lib.so");
    WriteSource("tree/a/b.txt", "b");
    const std::string before = Machine();
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    EXPECT_EQ(mgr.ExecInstall(), -1);
    EXPECT_NE(mgr.LastError().find(L"执行失败(2)"), std::wstring::npos)
        << zub::WideToUtf8(mgr.LastError());
    EXPECT_FALSE(RegistryHelper::KeyExists(kHkeyLocalMachine, L"software\\kittest"));
    EXPECT_EQ(Machine(), before);
    EXPECT_NE(ReadFile(Root() / "tmp/zub.log")
                  .find("已拷贝文件 " + (InstallDir() / "bin/lib.so").string()),
              std::string::npos);
}

TEST_F(Undo, AMenuThatCannotBeMadeFailsTheInstallAndLeavesNothing) {
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='g'/></MODULES>"
                  "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS>"
                  "<MENUS><MENU txt='Zub\\Vault' target='f' shortcut='1' dependnOn='g'/></MENUS>"));
    WriteSource("f", "x");
    std::wstring programs, desktop;
    pf::GetSpecialFolder(pf::SpecialFolder::CommonPrograms, programs);
    pf::GetSpecialFolder(pf::SpecialFolder::CommonDesktopDirectory, desktop);
    struct Case {
        const char* name;
        fs::path planted;  // what stands in the way
        bool folder;
        fs::path link;  // the link the error names
    } cases[] = {
        // Before any link, and after the first one was written.
        {"menu folder is a file", FromWide(programs) / "Zub", false,
         FromWide(programs) / "Zub/Vault.desktop"},
        {"desktop link is a folder", FromWide(desktop) / "Vault.desktop", true,
         FromWide(desktop) / "Vault.desktop"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.folder) {
            fs::create_directories(c.planted / "inside");
        } else {
            WriteFile(c.planted, "mine");
        }
        const std::string before = Machine();
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        EXPECT_EQ(mgr.ExecInstall(), -1);
        const std::wstring error = mgr.LastError();
        EXPECT_EQ(error.rfind(L"创建菜单出错(", 0), 0u) << zub::WideToUtf8(error);
        EXPECT_NE(error.find(W(c.link)), std::wstring::npos) << zub::WideToUtf8(error);
        EXPECT_NE(mgr.LastErrorCode(), 0);
        EXPECT_EQ(Machine(), before);
        InstallRecord r;
        EXPECT_FALSE(InstallRecord::Find(mgr.ProductKey(), r));
        EXPECT_NE(ReadFile(Root() / "tmp/zub.log").find(zub::WideToUtf8(error)), std::string::npos);
        fs::remove_all(c.planted);
    }
}

TEST_F(Undo, TemporariesOfAKilledCopyGoWithTheUninstall) {
    OneFileScript();
    const std::string before = Machine();
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    // What a copy to f killed before its rename leaves beside it.
    WriteFile(InstallDir() / ".f.zubcopy-4242", "half");
    ASSERT_EQ(mgr.Uninstall(L""), 0) << zub::WideToUtf8(mgr.LastError());
    EXPECT_EQ(Machine(), before);
}

TEST_F(Undo, ACompleteInstallIsNotInstalledOver) {
    OneFileScript();
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0);
    const std::string installed = Machine();
    InstallerMgr again;
    Prepare(again, L"m");
    EXPECT_EQ(again.ExecInstall(), -1);
    EXPECT_NE(again.LastError().find(L"本机已安装过 Zub Vault(1.2)"), std::wstring::npos);
    EXPECT_EQ(Machine(), installed);
}

TEST_F(Undo, ProgramsAreOnThePathAndMenuEntriesHaveTerminalAndIcon) {
    WriteScript(ScriptXml(
        "<MODULES><MODULE name='m' fgs='bin,icons'/></MODULES>"
        "<FILEGROUPS><FILEGROUP name='bin' target='0\\bin' onPath='1' files='zubtool,tools'/>"
        "<FILEGROUP name='icons' target='0' files='share\\app.svg'/></FILEGROUPS>"
        "<MENUS><MENU txt='Zub\\Tool' target='bin\\zubtool' terminal='1' icon='share\\app.svg' "
        "dependnOn='bin'/><MENU txt='Window' target='bin\\zubtool' icon='share\\app.svg' "
        "dependnOn='bin'/></MENUS>"));
    WriteProgram(Payload() / "source/zubtool", "echo tool-ran");
    WriteProgram(Payload() / "source/tools/zubother", "echo other-ran");
    WriteSource("tools/sub/x", "x");
    WriteSource("share/app.svg", "<svg xmlns='http://www.w3.org/2000/svg'/>");
    std::wstring commands;
    pf::GetSpecialFolder(pf::SpecialFolder::CommandLinks, commands);
    const fs::path bin = zub::WideToNarrow(commands);
    WriteFile(bin / "zubother", "theirs");  // someone else's command of that name
    const std::string before = Machine();

    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    EXPECT_EQ(fs::read_symlink(bin / "zubtool"), InstallDir() / "bin/zubtool");
    EXPECT_EQ(ReadFile(bin / "zubother"), "theirs");
    EXPECT_FALSE(fs::exists(bin / "sub"));
    // A shell finds it by name.
    const std::string run =
        "PATH='" + bin.string() + "':/usr/bin:/bin zubtool > '" + (Dir() / "ran").string() + "'";
    EXPECT_EQ(std::system(run.c_str()), 0);
    EXPECT_EQ(ReadFile(Dir() / "ran"), "tool-ran\n");

    std::wstring programs;
    pf::GetSpecialFolder(pf::SpecialFolder::CommonPrograms, programs);
    struct Entry {
        const char* file;
        bool terminal;
    } entries[] = {{"Zub/Tool.desktop", true}, {"Window.desktop", false}};
    for (const auto& e : entries) {
        SCOPED_TRACE(e.file);
        pf::ShellLink link;
        ASSERT_EQ(pf::ReadShellLink(programs + L"/" + zub::NarrowToWide(e.file), link), 0u);
        EXPECT_EQ(link.terminal, e.terminal);
        EXPECT_EQ(link.iconPath, W(InstallDir() / "share/app.svg"));
        EXPECT_TRUE(fs::is_regular_file(InstallDir() / "share/app.svg"));
    }
    ASSERT_EQ(mgr.Uninstall(L""), 0) << zub::WideToUtf8(mgr.LastError());
    EXPECT_EQ(Machine(), before);
}

TEST_F(Undo, MenuEntriesPassDesktopFileValidate) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
    WriteScript(ScriptXml(
        "<MODULES><MODULE name='m' fgs='bin'/></MODULES>"
        "<FILEGROUPS><FILEGROUP name='bin' target='0\\bin' files='tool,app.svg'/></FILEGROUPS>"
        "<MENUS><MENU txt='Zub Vault\\工具 tool' target='bin\\tool' terminal='1' "
        "icon='bin\\app.svg' shortcut='1' dependnOn='bin'/>"
        "<MENU txt='Plain' target='/usr/bin/env' isSpecial='1' dependnOn='bin'/></MENUS>"));
    WriteSource("tool", "#!/bin/sh\n");
    WriteSource("app.svg", "<svg xmlns='http://www.w3.org/2000/svg'/>");
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    int links = 0;
    for (const auto& e : fs::recursive_directory_iterator(Root())) {
        if (e.path().extension() != ".desktop") continue;
        ++links;
        const std::string cmd = "desktop-file-validate '" + e.path().string() + "' > '" +
                                (Dir() / "validate").string() + "' 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << e.path() << "\n" << ReadFile(Dir() / "validate");
    }
    EXPECT_EQ(links, 3);
}

}  // namespace
}  // namespace zub::kitsetup::test
