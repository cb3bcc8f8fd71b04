// The kitsetup program without a window: exit codes, dry run, uninstall,
// and the install of this project's own deliverables.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <sstream>
#include <thread>

#include "kit_sandbox.h"
#include "kitsetup/registry_helper.h"
#include "kitsetup_tests_paths.h"
#include "zub/platform/registry.h"
#include "zub/text.h"
#include "zubtest/language.h"
#include "zubtest/tempdir.h"

namespace zub::kitsetup::test {
namespace {

struct Outcome {
    int code = -1;
    std::string out, err;
};

class Unattended : public KitSandbox {
protected:
    Outcome Kitsetup(const std::string& args) {
        const fs::path out = Dir() / "stdout", err = Dir() / "stderr";
        const std::string cmd = std::string("'") + KITSETUP_BINARY + "' " + args + " >'" +
                                out.string() + "' 2>'" + err.string() + "' </dev/null";
        const int status = std::system(cmd.c_str());
        Outcome r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadFile(out);
        r.err = ReadFile(err);
        return r;
    }
    void SimpleScript(const std::string& general = "showLicense='0'",
                      const std::string& extra = "") {
        WriteScript(
            ScriptXml("<INSTALLTYPES><INSTALLTYPE name='typical' mds='core'/>"
                      "<INSTALLTYPE name='full' mds='core,extra'/></INSTALLTYPES>"
                      "<MODULES><MODULE name='core' fgs='bin'/><MODULE name='extra' fgs='more'/>"
                      "<MODULE name='empty'/></MODULES>"
                      "<FILEGROUPS><FILEGROUP name='bin' target='0\\bin' files='tool'/>"
                      "<FILEGROUP name='more' target='0' files='more.txt'/></FILEGROUPS>"
                      "<MENUS><MENU txt='Zub\\Tool' target='bin\\tool' dependnOn='bin'/></MENUS>" +
                          extra,
                      general));
        WriteSource("tool", "T");
        WriteSource("more.txt", "M");
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};

TEST_F(Unattended, ExitCodes) {
    struct Case {
        const char* name;
        std::string general, extra, args;
        int code;
        std::string errPart;
    } cases[] = {
        {"licence not accepted", "", "", "--unattended", 2, "--accept-license"},
        {"unknown type", "showLicense='0'", "", "--type nosuch", 2, "没有安装类型 nosuch"},
        {"unknown module", "showLicense='0'", "", "--modules core,ghost", 2,
         "install.xml 中没有模块 ghost"},
        {"nothing to install", "showLicense='0'", "", "--modules empty", 5,
         "所选模块没有要拷贝的文件"},
        {"type by number", "showLicense='0'", "", "--type 2", 0, ""},
        {"payload folder missing", "showLicense='0'", "", "--from /nonexistent", 2,
         "无法使用安装包文件夹 /nonexistent"},
        {"type and modules", "showLicense='0'", "", "--type 1 --modules core", 2,
         "--type 不能与 --modules 同时使用"},
        {"unknown option", "showLicense='0'", "", "--bogus", 2, "多余的参数：--bogus"},
        {"stray argument", "showLicense='0'", "", "--dry-run stray", 2, "多余的参数：stray"},
        {"option without value", "showLicense='0'", "", "--dir", 2, "--dir 的用法有误"},
        {"help", "showLicense='0'", "", "--help", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimpleScript(c.general, c.extra);
        const Outcome r = Kitsetup(c.args);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_TRUE(Has(r.err, c.errPart)) << r.err;
        if (r.code == 0 && c.args != "--help") {
            EXPECT_EQ(Kitsetup("--uninstall").code, 0);
        }
    }
    // A script that does not parse.
    WriteScript("<root>");
    Outcome r = Kitsetup("--accept-license");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "配置文件加载失败, 错误信息：配置文件解析失败。")) << r.err;
}

TEST_F(Unattended, ChecksBlockOrQueue) {
    WriteProgram("fixer", "touch '" + (Dir() / "fixed").string() + "'");
    SimpleScript("showLicense='0'",
                 "<CHECKS><CHECK name='fixable' paras='chkRegKey,HKEY_USERS\\x' "
                 "actionsWhenFails='fix' caption='可修复'/>"
                 "<CHECK name='hard' paras='chkService,nothere' failMsg='缺少服务' "
                 "caption='服务'/></CHECKS>"
                 "<ACTIONS><ACTION name='fix' progName='fixer' /></ACTIONS>");
    // Modules take their checks from the script; add them to core.
    std::string xml = ReadFile(Payload() / "install.xml");
    xml.replace(xml.find("name='core' fgs='bin'"), 21, "name='core' fgs='bin' checks='fixable'");
    xml.replace(xml.find("name='extra' fgs='more'"), 23, "name='extra' fgs='more' checks='hard'");
    WriteScript(xml);
    Outcome r = Kitsetup("--type full");
    EXPECT_EQ(r.code, 4) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "可修复: 检查失败")) << r.out;
    EXPECT_TRUE(Has(r.out, "服务: 检查失败"));
    EXPECT_TRUE(Has(r.err, "缺少服务"));
    EXPECT_FALSE(fs::exists(InstallDir()));

    r = Kitsetup("--type typical");
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(Dir() / "fixed"));  // queued by the failed check, run at step 1
}

TEST_F(Unattended, InstallDryRunRefusalAndUninstall) {
    SimpleScript();
    const std::string before = Snapshot();

    Outcome r = Kitsetup("--dry-run --type full");
    EXPECT_EQ(r.code, 0) << r.err;
    const std::string dir = InstallDir().string();
    for (const std::string& part : std::vector<std::string>{
             "安装目录：" + dir, "拷贝：" + dir + "/bin/tool <- ", "拷贝：" + dir + "/more.txt",
             "链接：", "Zub/Tool.desktop -> " + dir + "/bin/tool",
             "注册表：HKEY_LOCAL_MACHINE\\software\\zubco\\vault\\module = core,extra"}) {
        EXPECT_TRUE(Has(r.out, part)) << part << "\n" << r.out;
    }
    EXPECT_EQ(Snapshot(), before);  // a dry run changes nothing

    r = Kitsetup("--modules extra --dir elsewhere");
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    const fs::path elsewhere = Payload() / "elsewhere";
    EXPECT_EQ(ReadFile(elsewhere / "more.txt"), "M");
    EXPECT_FALSE(fs::exists(elsewhere / "bin"));
    EXPECT_TRUE(Has(r.out, "[1/1] " + (elsewhere / "more.txt").string())) << r.out;
    EXPECT_TRUE(Has(r.out, "安装成功")) << r.out;
    EXPECT_TRUE(Has(ReadFile(elsewhere / "installLog.log"), "安装成功 ========================="));

    r = Kitsetup("--type typical");
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(Has(r.err, "本机已安装过 Zub Vault(1.2), 请先卸载再重新安装。")) << r.err;

    r = Kitsetup("--uninstall");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(fs::exists(elsewhere));
    EXPECT_EQ(Kitsetup("--uninstall").code, 2);  // nothing left to uninstall
}

TEST_F(Unattended, AFailedInstallUndoesItselfAndNamesItsLog) {
    SimpleScript("showLicense='0'",
                 "<ACTIONS><ACTION name='boom' progName='no-such-program-zub'/></ACTIONS>");
    std::string xml = ReadFile(Payload() / "install.xml");
    xml.replace(xml.find("name='core' fgs='bin'"), 21, "name='core' fgs='bin' afterInstall='boom'");
    WriteScript(xml);
    const std::string before = Machine();
    const std::string log = (Root() / "tmp/zub.log").string();
    struct Case {
        const char* name;
        std::string args, reason;
    } cases[] = {
        {"an action fails", "--type typical", "执行失败(2)"},
        {"the folder is below a file", "--type typical --dir " + (Dir() / "afile/x").string(),
         "创建安装目录 " + (Dir() / "afile/x").string() + " 失败。"},
        {"the folder cannot be written", "--type typical --dir /proc/1",
         "安装目录 /proc/1 无法写入"},
    };
    WriteFile(Dir() / "afile", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome r = Kitsetup(c.args);
        EXPECT_EQ(r.code, 1) << r.out << r.err;
        EXPECT_TRUE(Has(r.err, c.reason)) << r.err;
        EXPECT_TRUE(Has(r.err, "安装失败, 详细消息请查看安装日志 " + log)) << r.err;
        EXPECT_FALSE(Has(r.err, "InstallLog.log")) << r.err;
        EXPECT_FALSE(Has(r.out, "创建安装目录完毕") && c.reason != "执行失败(2)") << r.out;
        EXPECT_TRUE(Has(ReadFile(log), c.reason));
        EXPECT_EQ(Machine(), before);
        EXPECT_EQ(Kitsetup("--uninstall").code, 2);  // nothing is left to undo
    }
}

TEST_F(Unattended, ScriptsThatWriteOutsideAreRefusedBeforeAnyChange) {
    // Outside ZUB_ROOT, where each script below would have written.
    const fs::path outside = Dir() / "outside";
    WriteFile(outside / "planted", "mine");
    struct Case {
        const char* name;
        std::string general, group;
    } cases[] = {
        {"absolute base-less target", "",
         "target='2" + outside.string() + "' overwrite='kowAlways' files='planted'"},
        {"target climbs from the install directory", "",
         "target='0\\..\\..\\..\\..\\outside' overwrite='kowAlways' files='planted'"},
        {"product alias climbs", "productAlias='../../../outside'",
         "target='0' overwrite='kowAlways' files='planted'"},
    };
    WriteSource("planted", "theirs");
    const std::string before = Snapshot();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string xml = ScriptXml(
            "<MODULES><MODULE name='m' fgs='g'/></MODULES><FILEGROUPS>"
            "<FILEGROUP name='g' " +
                c.group + "/></FILEGROUPS>",
            "showLicense='0' " + c.general);
        if (!c.general.empty()) xml.erase(xml.find("productAlias='vault' "), 21);
        WriteScript(xml);
        const Outcome r = Kitsetup("--modules m");
        EXPECT_EQ(r.code, 2) << r.out << r.err;
        EXPECT_TRUE(Has(r.err, "install.xml 第 2 行")) << r.err;
        EXPECT_EQ(ReadFile(outside / "planted"), "mine");
        EXPECT_EQ(Snapshot(), before);
    }
}

// A dry run, an install, a refusal, an uninstall and a failed install as the
// user reads them (output, errors and the logs), in either language and in
// that language only. The script's names are ASCII and no three words in a row.
TEST_F(Unattended, SpeaksTheUsersLanguageOnly) {
    WriteProgram("fixer", "true");
    SimpleScript("showLicense='0'",
                 "<CHECKS><CHECK name='fixable' paras='chkRegKey,HKEY_USERS\\x' "
                 "actionsWhenFails='fix' caption='fixable'/></CHECKS>"
                 "<ACTIONS><ACTION name='fix' progName='fixer'/>"
                 "<ACTION name='boom' progName='no-such-program-zub'/></ACTIONS>");
    std::string xml = ReadFile(Payload() / "install.xml");
    xml.replace(xml.find("name='core' fgs='bin'"), 21, "name='core' fgs='bin' checks='fixable'");
    xml.replace(xml.find("name='extra' fgs='more'"), 23,
                "name='extra' fgs='more' afterInstall='boom'");
    WriteScript(xml);
    const std::string dir = InstallDir().string();
    struct Case {
        const char* lang;
        bool chinese;
        std::vector<std::string> said;
    } cases[] = {
        {"zh_CN.UTF-8",
         true,
         {"安装目录：" + dir, "安装后执行：no-such-program-zub", "fixable: 检查失败",
          "开始安装 Zub Vault(1.2) =========================", "已拷贝文件 " + dir + "/bin/tool",
          "创建菜单: Zub\\Tool", "安装成功 =========================",
          "本机已安装过 Zub Vault(1.2), 请先卸载再重新安装。", "已删除 " + dir + "/bin/tool",
          "已卸载 " + dir, "执行失败(2): 系统找不到指定的文件。, no-such-program-zub",
          "安装失败，撤销本次安装所做的更改", "安装失败, 详细消息请查看安装日志 "}},
        {"en_US.UTF-8",
         false,
         {"install directory: " + dir, "after run: no-such-program-zub", "fixable: failed",
          "Installing Zub Vault(1.2) =========================", "copied file " + dir + "/bin/tool",
          "menu created: Zub\\Tool", "Installation succeeded =========================",
          "Zub Vault(1.2) is installed on this machine already", "removed " + dir + "/bin/tool",
          "uninstalled " + dir,
          "running failed (2): The system cannot find the file specified., no-such-program-zub",
          "Installation failed, undoing the changes of this install",
          "Installation failed, for details see the install log "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) SetEnv(v, std::nullopt);
        SetEnv("LANG", c.lang);
        std::string said;
        const auto run = [&](const std::string& args, int code) {
            const Outcome r = Kitsetup(args);
            EXPECT_EQ(r.code, code) << args << "\n" << r.out << r.err;
            said += r.out + r.err;
        };
        run("--dry-run --type full", 0);
        run("--type typical", 0);
        said += ReadFile(InstallDir() / "installLog.log");
        run("--type typical", 3);
        run("--uninstall", 0);
        fs::remove(Root() / "tmp/zub.log");
        run("--modules extra", 1);
        said += ReadFile(Root() / "tmp/zub.log");
        for (const auto& part : c.said) EXPECT_TRUE(Has(said, part)) << part << "\n" << said;
        std::istringstream lines(said);
        for (std::string line; std::getline(lines, line);) {
            if (c.chinese) {
                EXPECT_EQ(zub::testsupport::EnglishRun(line), "") << line;
            } else {
                EXPECT_FALSE(zub::testsupport::HasCjk(line)) << line;
            }
        }
    }
}

// Starts kitsetup with its output discarded and kills it after `delay`.
void KillAfter(const std::vector<std::string>& args, std::chrono::microseconds delay) {
    std::vector<std::string> all{KITSETUP_BINARY};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    ASSERT_EQ(spawned, 0);
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

TEST_F(Unattended, KillsAtAnyPointAreUndoneByTheNextRun) {
    const zub::testsupport::TempDir registry("kitsetup-registry",
                                             zub::testsupport::TempDir::Medium::Memory);
    SetEnv("ZUB_REGISTRY_DIR", registry.str());
    WriteScript(ScriptXml(
        "<MODULES><MODULE name='core' fgs='reg,bin,many'/></MODULES><FILEGROUPS>"
        "<FILEGROUP name='reg' target='0\\lib' reg='1' files='lib.so'/>"
        "<FILEGROUP name='bin' target='0\\bin' onPath='1' files='zubkilltool'/>"
        "<FILEGROUP name='many' target='0\\data' files='tree'/></FILEGROUPS>"
        "<MENUS><MENU txt='Zub\\Tool' target='bin\\zubkilltool' terminal='1' shortcut='1' "
        "dependnOn='bin'/></MENUS>",
        "showLicense='0'"));
    fs::copy_file(KITTEST_REGWRITE, Payload() / "source/lib.so");
    WriteProgram(Payload() / "source/zubkilltool", "true");
    for (int i = 0; i < 20; ++i)
        WriteSource("tree/d" + std::to_string(i % 4) + "/f" + std::to_string(i), "x");
    const std::string before = Machine();
    const auto timed = [&](const std::string& args) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Kitsetup(args).code, 0) << args;
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
    };
    const auto install = timed("--modules core"), uninstall = timed("--uninstall");
    ASSERT_EQ(Machine(), before);

    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 6; ++round) {
        const auto at = std::chrono::microseconds(
            std::uniform_int_distribution<long>(0, install.count())(random));
        SCOPED_TRACE("install killed after " + std::to_string(at.count()) + " us");
        KillAfter({"--modules", "core"}, at);
        Outcome r = Kitsetup("--modules core");
        if (r.code == 3) {  // killed after the product record was complete
            EXPECT_EQ(Kitsetup("--uninstall").code, 0);
            r = Kitsetup("--modules core");
        }
        EXPECT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_EQ(Kitsetup("--uninstall").code, 0);
        EXPECT_EQ(Machine(), before);
    }
    for (int round = 0; round < 6; ++round) {
        const auto at = std::chrono::microseconds(
            std::uniform_int_distribution<long>(0, uninstall.count())(random));
        SCOPED_TRACE("uninstall killed after " + std::to_string(at.count()) + " us");
        ASSERT_EQ(Kitsetup("--modules core").code, 0);
        KillAfter({"--uninstall"}, at);
        const int code = Kitsetup("--uninstall").code;
        EXPECT_TRUE(code == 0 || code == 2) << code;  // 2: the kill came after the end
        EXPECT_EQ(Machine(), before);
    }
}

// This project's own deliverables, installed from kitsetup/payload.
TEST_F(Unattended, RealPayload) {
    // A registration makes a few hundred flushed registry writes: keep them in memory.
    const zub::testsupport::TempDir registry("kitsetup-registry",
                                             zub::testsupport::TempDir::Medium::Memory);
    SetEnv("ZUB_REGISTRY_DIR", registry.str());
    fs::copy_file(KITSETUP_PAYLOAD_SCRIPT, Payload() / "install.xml",
                  fs::copy_options::overwrite_existing);
    fs::create_directories(Payload() / "source/bin");
    fs::create_directories(Payload() / "source/lib");
    fs::copy_file(VAULT_BINARY, Payload() / "source/bin/vault");
    std::string libraries = std::string(ZUB_SHARED_LIBRARY) + ":" + VAULTAUTO_LIBRARIES;
    for (std::size_t start = 0, end; start < libraries.size(); start = end + 1) {
        end = std::min(libraries.find(':', start), libraries.size());
        const fs::path lib = libraries.substr(start, end - start);
        fs::copy_file(lib, Payload() / "source/lib" / lib.filename());
    }
    fs::create_directories(Payload() / "source/share");
    fs::copy_file(KITSETUP_PAYLOAD_ICON, Payload() / "source/share/zubvault.svg");
    fs::copy(KITSETUP_LOCALE_DIR, Payload() / "source/share/locale", fs::copy_options::recursive);
    WriteFile(Payload() / "license.txt", "licence");
    const std::string before = Snapshot();
    const std::string members =
        std::string("'") + ZUBCOM_BINARY + "' members VaultAuto.CoDoc.1 >/dev/null 2>&1";
    ASSERT_NE(std::system(members.c_str()), 0) << "registered before the install";

    Outcome r = Kitsetup("--accept-license");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const fs::path dir = Root() / "opt/zubrino/zubvault";
    EXPECT_TRUE(fs::exists(dir / "bin/vault"));
    EXPECT_TRUE(fs::exists(dir / "lib/libvaultauto.so"));
    // The installed program runs, found by name on the system's command path.
    const std::string cmd = "PATH='" + (Root() / "usr/local/bin").string() +
                            "':/usr/bin:/bin vault --help >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    // Its menu entry opens a terminal and shows the payload's icon.
    const std::string entry = ReadFile(Root() / "usr/share/applications/Zub Vault/vault.desktop");
    EXPECT_TRUE(Has(entry, "Terminal=true\n")) << entry;
    EXPECT_TRUE(Has(entry, "Icon=" + (dir / "share/zubvault.svg").string() + "\n")) << entry;
    EXPECT_TRUE(fs::is_regular_file(dir / "share/zubvault.svg"));
    // The installed programs find their catalogs beside them.
    for (const char* lang : {"zh_CN", "en"}) {
        EXPECT_TRUE(fs::is_regular_file(dir / "share/locale" / lang / "LC_MESSAGES/zub-library.mo"))
            << lang;
    }
    std::wstring version;
    EXPECT_EQ(RegistryHelper::ReadString(kHkeyLocalMachine, L"software\\zubrino\\zubvault",
                                         L"version", version),
              0);
    EXPECT_FALSE(version.empty());
    // The installer registered the installed server: a client creates it by ProgID.
    EXPECT_EQ(std::system(members.c_str()), 0);
    std::wstring server;
    EXPECT_EQ(
        RegistryHelper::ReadString(kHkeyClassesRoot, L"VaultAuto.CoDoc.1\\CLSID", L"", server), 0);

    EXPECT_EQ(Kitsetup("--uninstall").code, 0);
    EXPECT_NE(std::system(members.c_str()), 0) << "still registered after the uninstall";
    // Unregistering leaves the classes' shared container keys, as on any machine.
    std::string after = Snapshot();
    for (auto at = after.find("HKLM\\Software"); at != std::string::npos;
         at = after.find("HKLM\\Software", at))
        after.replace(at, 13, "HKLM\\software");
    for (const char* shared :
         {"HKLM\\software\n", "HKLM\\software\\Classes\n", "HKLM\\software\\Classes\\AppID\n",
          "HKLM\\software\\Classes\\CLSID\n", "HKLM\\software\\Classes\\Interface\n",
          "HKLM\\software\\Classes\\TypeLib\n"}) {
        if (const auto at = after.find(shared); at != std::string::npos)
            after.erase(at, std::string_view(shared).size());
    }
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace zub::kitsetup::test
