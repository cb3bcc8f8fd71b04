// vault baseline create|list|download|delete.
#include "vaultrunner.h"

namespace zub::vault::test {

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
    EXPECT_EQ(created["files_linked"], 2);
    EXPECT_EQ(created["files_cloned"], 0);
    EXPECT_EQ(created["files_copied"], 0);

    // Later check-ins change the trunk, not the baseline.
    Ok({"doc", "checkout", "1", "w"});
    WriteFile("w/plate.prt", "plate v2\n");
    Ok({"doc", "checkin", "1", "w/plate.prt", "-m", "v2"});
    Ok({"baseline", "create", "demo", "rel2"});

    const auto list = Run({"baseline", "list", "demo", "--json"}).Json();
    ASSERT_EQ(list.size(), 2u);
    auto listed = created;
    for (const char* key : {"files_linked", "files_cloned", "files_copied"}) listed.erase(key);
    EXPECT_EQ(list[0], listed);
    EXPECT_EQ(list[1]["name"], "rel2");
    EXPECT_EQ(list[1]["description"], "");

    Ok({"baseline", "download", "demo", "rel1", "out1"});
    EXPECT_EQ(ReadFile(Path("out1/plate.prt")), "plate v1\n");
    EXPECT_EQ(ReadFile(Path("out1/parts/m6.prt")), "bolt v1\n");
    // Named by id as well as by name; without a folder it goes to ./NAME.
    Ok({"baseline", "download", "demo", std::to_string(list[1]["id"].get<int>())});
    EXPECT_EQ(ReadFile(Path("rel2/plate.prt")), "plate v2\n");
}

// The baseline's files are the trunk's own; the disk they take is counted once.
TEST_F(VaultBaselineCli, ABaselineSharesTheTrunksFilesAndRepoShowCountsThemOnce) {
    auto disk = [this] {
        const auto j = Run({"repo", "show", "demo", "--json"}).Json();
        return std::vector<long long>{j["disk_files"].get<long long>(),
                                      j["disk_bytes"].get<long long>(),
                                      j["full_copy_bytes"].get<long long>()};
    };
    // "plate v1\n" and "bolt v1\n": 9 and 8 bytes.
    EXPECT_EQ(disk(), (std::vector<long long>{2, 17, 17}));
    EXPECT_EQ(Ok({"baseline", "create", "demo", "rel1"}),
              "Created baseline rel1 (id 1) of repository demo: 2 files hard-linked, 0 cloned, "
              "0 copied\n");
    EXPECT_EQ(disk(), (std::vector<long long>{4, 17, 34}));
    // The replaced version moves to the history and stays the baseline's.
    Ok({"doc", "checkout", "1", "w"});
    WriteFile("w/plate.prt", "plate v2\n");
    Ok({"doc", "checkin", "1", "w/plate.prt", "-m", "v2"});
    EXPECT_EQ(disk(), (std::vector<long long>{5, 26, 43}));
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/baseline/rel1/plate.prt"), "plate v1\n");
    const std::string shown = Ok({"repo", "show", "demo"});
    EXPECT_NE(shown.find("Disk use (bytes):        26\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("As full copies (bytes):  43\n"), std::string::npos) << shown;
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

}  // namespace zub::vault::test
