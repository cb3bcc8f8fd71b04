// Installs whose script or files sit on an edge the other cases do not reach:
// a registry name that differs from the product's alias, and a target file
// exactly as old as its source.
#include <gtest/gtest.h>

#include "kit_sandbox.h"
#include "kitsetup/registry_helper.h"
#include "zub/platform/registry.h"
#include "zub/text.h"

namespace zub::kitsetup::test {
namespace {

namespace pf = zub::platform;

class InstallEdges : public KitSandbox {};

TEST_F(InstallEdges, TheProductRecordLivesUnderTheRegistryName) {
    WriteScript(
        "<?xml version='1.0' encoding='UTF-8'?>\n<root><GENERAL companyName='Zub Co' "
        "companyAlias='zubco' productName='Zub Vault' productAlias='vault' "
        "productInReg='zubvault' version='1.2'/>"
        "<MODULES><MODULE name='m' fgs='g'/></MODULES>"
        "<FILEGROUPS><FILEGROUP name='g' target='0' files='f'/></FILEGROUPS></root>\n");
    WriteSource("f", "x");
    {
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    }
    std::wstring appPath;
    EXPECT_EQ(RegistryHelper::ReadString(kHkeyLocalMachine, L"software\\zubco\\zubvault",
                                         L"appPath", appPath),
              0);
    EXPECT_EQ(appPath, zub::NarrowToWide(InstallDir().string()));
    EXPECT_FALSE(pf::RegKeyExists(pf::RootKey::LocalMachine, L"software\\zubco\\vault"));
    InstallerMgr again;
    Prepare(again, L"m");
    EXPECT_EQ(again.InstalledProduct(), L"Zub Vault(1.2)");
}

TEST_F(InstallEdges, ATargetAsOldAsItsSourceIsKeptByTheTimePolicies) {
    for (const char* mode : {"kowTime", "kowVerThenTm"}) {
        SCOPED_TRACE(mode);
        fs::remove_all(InstallDir());
        WriteScript(ScriptXml(std::string("<MODULES><MODULE name='m' fgs='g'/></MODULES>"
                                          "<FILEGROUPS><FILEGROUP name='g' target='0' "
                                          "files='f' overwrite='") +
                              mode + "'/></FILEGROUPS>"));
        fs::remove(Payload() / "source/f");
        WriteSource("f", "same");
        // One file under two names: one creation time by construction.
        fs::create_directories(InstallDir());
        fs::create_hard_link(Payload() / "source/f", InstallDir() / "f");
        InstallerMgr mgr;
        Prepare(mgr, L"m");
        ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
        const std::string log = ReadFile(InstallDir() / "installLog.log");
        const std::string target = (InstallDir() / "f").string();
        EXPECT_NE(log.find("目标文件已存在，无需拷贝 " + target), std::string::npos) << log;
        EXPECT_EQ(log.find("已拷贝文件 " + target), std::string::npos) << log;
        EXPECT_EQ(ReadFile(InstallDir() / "f"), "same");
        // The next policy installs afresh.
        EXPECT_EQ(mgr.Uninstall(zub::NarrowToWide(InstallDir().string())), 0)
            << zub::WideToUtf8(mgr.LastError());
    }
}

}  // namespace
}  // namespace zub::kitsetup::test
