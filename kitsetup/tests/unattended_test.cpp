// The kitsetup program without a window: exit codes, dry run, uninstall,
// and the install of this project's own deliverables.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "kit_sandbox.h"
#include "kitsetup/registry_helper.h"
#include "zub/platform/registry.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"

namespace kitsetup::testing {
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
        {"unknown type", "showLicense='0'", "", "--type nosuch", 2, "no install type nosuch"},
        {"unknown module", "showLicense='0'", "", "--modules core,ghost", 2, "no module ghost"},
        {"nothing to install", "showLicense='0'", "", "--modules empty", 5, "配置文件存在错误"},
        {"type by number", "showLicense='0'", "", "--type 2", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimpleScript(c.general, c.extra);
        const Outcome r = Kitsetup(c.args);
        EXPECT_EQ(r.code, c.code) << r.out << r.err;
        EXPECT_TRUE(Has(r.err, c.errPart)) << r.err;
        if (r.code == 0) {
            EXPECT_EQ(Kitsetup("--uninstall").code, 0);
        }
    }
    // A script that does not parse.
    WriteScript("<root>");
    Outcome r = Kitsetup("--accept-license");
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Has(r.err, "配置文件加载失败, 错误信息：Document not parsed successfully."))
        << r.err;
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
             "install directory: " + dir, "copy: " + dir + "/bin/tool <- ",
             "copy: " + dir + "/more.txt", "link: ", "Zub/Tool.desktop -> " + dir + "/bin/tool",
             "registry: HKEY_LOCAL_MACHINE\\software\\zubco\\vault\\module = core,extra"}) {
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

TEST_F(Unattended, FailedInstallExitsNonZeroAndCanBeUndone) {
    SimpleScript("showLicense='0'",
                 "<ACTIONS><ACTION name='boom' progName='no-such-program-zub'/></ACTIONS>");
    std::string xml = ReadFile(Payload() / "install.xml");
    xml.replace(xml.find("name='core' fgs='bin'"), 21, "name='core' fgs='bin' afterInstall='boom'");
    WriteScript(xml);
    const std::string before = Snapshot();
    Outcome r = Kitsetup("--type typical");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Has(r.err, "安装失败")) << r.err;
    EXPECT_TRUE(Has(ReadFile(InstallDir() / "installLog.log"), "执行失败(2)"));
    EXPECT_EQ(Kitsetup("--uninstall").code, 0);
    EXPECT_EQ(Snapshot(), before);
}

// This project's own deliverables, installed from kitsetup/payload.
TEST_F(Unattended, RealPayload) {
    // A registration makes a few hundred flushed registry writes: keep them in memory.
    const zubtest::TempDir registry("kitsetup-registry", zubtest::TempDir::Medium::Memory);
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
    // The installed program runs.
    const std::string cmd = "'" + (dir / "bin/vault").string() + "' --help >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
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
}  // namespace kitsetup::testing
