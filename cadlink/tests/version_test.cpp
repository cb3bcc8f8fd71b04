#include <gtest/gtest.h>

#include "cadlink/proe_version.h"
#include "registry_sandbox.h"

namespace ZUBCAX {
namespace {

using zub::cadlink::test::RegistrySandbox;

// The base finder with a prefix and a name of its own.
class PrefixedVersion : public CCaxVersion {
public:
    PrefixedVersion() : CCaxVersion(CProeVersion::kVendorKey, L"Wildfire") {}
    std::wstring GetCadName() override { return L"Test CAD"; }
    int GetCadNumber() override { return 9; }
};

class CadVersion : public ::testing::Test {
protected:
    RegistrySandbox reg;
    CProeVersion proe;
};

TEST_F(CadVersion, InstalledVersionsKeepRegistryOrderAndExactNames) {
    for (const wchar_t* name : {L"Wildfire 5.0", L"Wildfire 4.0 M030", L"wildfire 3.0",
                                L"Wildfire 2.0", L"Creo 1.0", L"Wildfire 4.0", L"Wildfire 6.0"}) {
        reg.AddVendorSubkey(name);
    }
    EXPECT_EQ(proe.InstalledVersions(),
              (std::vector<std::wstring>{L"Wildfire 2.0", L"Wildfire 4.0", L"Wildfire 5.0"}));
    std::vector<std::wstring> list;
    EXPECT_EQ(proe.GetLatestVersion(list), L"Wildfire 5.0");
    EXPECT_EQ(list.size(), 3u);
}

TEST_F(CadVersion, BaseFinderAcceptsEveryNameWithItsPrefix) {
    for (const wchar_t* name : {L"Creo 1.0", L"Wildfire 4.0 M030", L"Wildfire 4.0"}) {
        reg.AddVendorSubkey(name);
    }
    PrefixedVersion base;
    EXPECT_EQ(base.InstalledVersions(),
              (std::vector<std::wstring>{L"Wildfire 4.0", L"Wildfire 4.0 M030"}));
    EXPECT_EQ(base.GetLauncherPath(), L"");
    EXPECT_EQ(base.GetVersionPath(L"Wildfire 4.0"), L"");
    EXPECT_EQ(base.MapVersion(L"x"), L"x");
}

TEST_F(CadVersion, LatestOfAGivenListIsItsLastEntry) {
    reg.AddVendorSubkey(L"Wildfire 5.0");
    std::vector<std::wstring> list{L"Wildfire 2.0", L"Wildfire 3.0"};
    EXPECT_EQ(proe.GetLatestVersion(list), L"Wildfire 3.0");
    std::vector<std::wstring> none;
    RegistrySandbox empty;
    EXPECT_EQ(proe.GetLatestVersion(none), L"");
}

TEST_F(CadVersion, FindVersionFallsBackToTheLatest) {
    reg.AddVendorSubkey(L"Wildfire 3.0");
    reg.AddVendorSubkey(L"Wildfire 4.0");
    EXPECT_EQ(proe.FindVersion(L"Wildfire 3.0"), L"Wildfire 3.0");
    EXPECT_EQ(proe.FindVersion(L"Wildfire 5.0"), L"Wildfire 4.0");
    EXPECT_EQ(proe.FindVersion(L"wildfire 3.0"), L"Wildfire 4.0");
}

TEST_F(CadVersion, WithoutAChoiceTheLatestIsStoredAndPublished) {
    reg.Install(L"Wildfire 5.0", L"M010", L"/opt/ptc/wf5");
    reg.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4");
    EXPECT_EQ(proe.GetCurrentVersion(), L"Wildfire 5.0");
    EXPECT_EQ(reg.StoredChoice(), L"Wildfire 5.0");
    EXPECT_EQ(reg.MessageServer(), L"/opt/ptc/wf5/i486_nt/obj/pro_comm_msg.exe");
    EXPECT_EQ(proe.GetLauncherPath(), L"/opt/ptc/wf5/bin/proe1.bat");
}

TEST_F(CadVersion, StoredChoiceDecidesTheLauncher) {
    reg.Install(L"Wildfire 3.0", L"M100", L"/opt/ptc/wf3");
    reg.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4");
    reg.StoreChoice(L"Wildfire 3.0");
    EXPECT_EQ(proe.GetCurrentVersion(), L"Wildfire 3.0");
    EXPECT_EQ(proe.GetLauncherPath(), L"/opt/ptc/wf3/bin/proe1.bat");
    // Reading a stored choice publishes nothing.
    EXPECT_EQ(reg.MessageServer(), std::nullopt);
}

TEST_F(CadVersion, EmptyStoredChoiceCountsAsNone) {
    reg.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4");
    reg.StoreChoice(L"");
    EXPECT_EQ(proe.GetCurrentVersion(), L"Wildfire 4.0");
    EXPECT_EQ(reg.StoredChoice(), L"Wildfire 4.0");
}

TEST_F(CadVersion, InstallDirIsTheFirstBuildsValue) {
    reg.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4-m220");
    reg.Install(L"Wildfire 4.0", L"M010", L"/opt/ptc/wf4-m010");
    EXPECT_EQ(proe.InstallDir(L"Wildfire 4.0"), L"/opt/ptc/wf4-m010");
    EXPECT_EQ(proe.InstallDir(L"Wildfire 5.0"), L"");
    EXPECT_EQ(proe.InstallDir(L""), L"");
    reg.AddVendorSubkey(L"Wildfire 2.0\\M001");
    EXPECT_EQ(proe.InstallDir(L"Wildfire 2.0"), L"");
}

TEST_F(CadVersion, SetCurrentVersionStoresAndPublishes) {
    reg.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4");
    EXPECT_TRUE(proe.SetCurrentVersion(L"Wildfire 4.0"));
    EXPECT_EQ(reg.StoredChoice(), L"Wildfire 4.0");
    EXPECT_EQ(reg.MessageServer(), L"/opt/ptc/wf4/i486_nt/obj/pro_comm_msg.exe");
}

TEST_F(CadVersion, VersionWithoutInstallDirIsStoredButNotPublished) {
    reg.AddVendorSubkey(L"Wildfire 4.0");
    EXPECT_FALSE(proe.SetCurrentVersion(L"Wildfire 4.0"));
    EXPECT_EQ(reg.StoredChoice(), L"Wildfire 4.0");
    EXPECT_EQ(reg.MessageServer(), std::nullopt);
}

TEST_F(CadVersion, NoRightsToPublishLeavesNoCurrentVersion) {
    reg.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4");
    reg.LockMachineHive();
    EXPECT_FALSE(proe.SetCurrentVersion(L"Wildfire 4.0"));
    EXPECT_EQ(reg.MessageServer(), std::nullopt);
    // The user's choice went in before the refusal, so it is found next time.
    EXPECT_EQ(reg.StoredChoice(), L"Wildfire 4.0");
    RegistrySandbox fresh;
    fresh.Install(L"Wildfire 4.0", L"M220", L"/opt/ptc/wf4");
    fresh.LockMachineHive();
    EXPECT_EQ(proe.GetCurrentVersion(), L"");
}

TEST_F(CadVersion, NothingInstalled) {
    EXPECT_EQ(proe.GetCurrentVersion(), L"");
    EXPECT_EQ(proe.GetLauncherPath(), L"");
    EXPECT_EQ(reg.StoredChoice(), std::nullopt);
    EXPECT_EQ(reg.MessageServer(), std::nullopt);
}

}  // namespace
}  // namespace ZUBCAX
