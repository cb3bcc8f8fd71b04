// vault baseline create|list|download|delete.
#include "vaultrunner.h"

namespace fs = std::filesystem;

class VaultBaselineCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        InitWithUsers();
        WriteFile("plate.prt", "plate v1\n");
        WriteFile("m6.prt", "bolt v1\n");
        Ok({"doc", "add", "demo", "plate.prt"});
        Ok({"doc", "add", "demo", "m6.prt", "--folder", "parts"});
    }
};

TEST_F(VaultBaselineCli, ABaselineFreezesTheCurrentFiles) {
    const auto created =
        Run({"baseline", "create", "demo", "rel1", "-m", "first release", "--json"}).Json();
    EXPECT_EQ(created["name"], "rel1");
    EXPECT_EQ(created["description"], "first release");
    EXPECT_TRUE(created["created"].is_string());
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/baseline/rel1/parts/m6.prt"), "bolt v1\n");

    // Later check-ins change the trunk, not the baseline.
    Ok({"doc", "checkout", "1", "w"});
    WriteFile("w/plate.prt", "plate v2\n");
    Ok({"doc", "checkin", "1", "w/plate.prt", "-m", "v2"});
    Ok({"baseline", "create", "demo", "rel2"});

    const auto list = Run({"baseline", "list", "demo", "--json"}).Json();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], created);
    EXPECT_EQ(list[1]["name"], "rel2");
    EXPECT_EQ(list[1]["description"], "");

    Ok({"baseline", "download", "demo", "rel1", "out1"});
    EXPECT_EQ(ReadFile(Path("out1/plate.prt")), "plate v1\n");
    EXPECT_EQ(ReadFile(Path("out1/parts/m6.prt")), "bolt v1\n");
    // Named by id as well as by name; without a folder it goes to ./NAME.
    Ok({"baseline", "download", "demo", std::to_string(list[1]["id"].get<int>())});
    EXPECT_EQ(ReadFile(Path("rel2/plate.prt")), "plate v2\n");
}

TEST_F(VaultBaselineCli, DownloadIntoAFolderInUseNeedsForce) {
    Ok({"baseline", "create", "demo", "rel1"});
    WriteFile("busy/notes.txt", "mine\n");
    const RunResult r = Run({"baseline", "download", "demo", "rel1", "busy"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, ErrorLine(49714, Path("busy").string() +
                                          " is not empty; use --force to download into it"));
    EXPECT_FALSE(fs::exists(Path("busy/plate.prt")));
    Ok({"baseline", "download", "demo", "rel1", "busy", "--force"});
    EXPECT_EQ(ReadFile(Path("busy/plate.prt")), "plate v1\n");
    EXPECT_EQ(ReadFile(Path("busy/notes.txt")), "mine\n");
}

TEST_F(VaultBaselineCli, NamesAreUniqueAndTrunkIsReserved) {
    Ok({"baseline", "create", "demo", "rel1"});
    EXPECT_EQ(Run({"baseline", "create", "demo", "rel1"}).err,
              ErrorLine(49709, "repository demo has a baseline named rel1 already"));
    EXPECT_EQ(Run({"baseline", "create", "demo", "Trunk"}).err,
              ErrorLine(49710, "the baseline name trunk is reserved"));
    EXPECT_EQ(Run({"baseline", "create", "demo", "a/b"}).code, 1);
    EXPECT_EQ(Run({"baseline", "list", "demo", "--json"}).Json().size(), 1u);
    EXPECT_EQ(Run({"baseline", "download", "demo", "nope"}).err,
              ErrorLine(49708, "no baseline nope in repository demo"));
}

TEST_F(VaultBaselineCli, DeleteRemovesFolderAndRowAndNeedsManage) {
    Ok({"baseline", "create", "demo", "rel1"});
    Ok({"rights", "grant", "demo", "alice", "rw"});
    EXPECT_EQ(RunAs("alice", {"baseline", "delete", "demo", "rel1"}).err,
              ErrorLine(49711, "user alice has no manage right on repository demo"));
    Ok({"baseline", "rm", "demo", "rel1"});
    EXPECT_FALSE(fs::exists(store_ / "files/repos/demo/baseline/rel1"));
    EXPECT_EQ(Run({"baseline", "list", "demo", "--json"}).Json(), nlohmann::json::array());
    EXPECT_NE(Ok({"baseline", "list", "demo"}).find("(no baselines in repository demo)"),
              std::string::npos);
}
