// vault status: what I hold, with my local copies' state; --all: everyone's.
#include "vaultrunner.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

class VaultStatusCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        InitWithUsers();
        Ok({"repo", "create", "自行车"});
        Ok({"repo", "create", "secret"});
        for (const char* repo : {"demo", "自行车"}) {
            Ok({"rights", "grant", repo, "alice", "rw"});
            Ok({"rights", "grant", repo, "bob", "rw"});
        }
        WriteFile("车架.prt", "frame\n");
        WriteFile("fork.prt", "fork\n");
        WriteFile("hidden.prt", "hidden\n");
        Ok({"doc", "add", "自行车", "车架.prt", "--folder", "框架"});  // 1
        Ok({"doc", "add", "demo", "fork.prt"});                        // 2
        Ok({"doc", "add", "secret", "hidden.prt"});                    // 3
    }

    nlohmann::json Status(const std::string& user, bool all = false) {
        std::vector<std::string> args = {"status", "--json"};
        if (all) args.push_back("--all");
        const RunResult r = RunAs(user, args);
        EXPECT_EQ(r.code, 0) << r.err;
        return r.Json();
    }
};

TEST_F(VaultStatusCli, ListsMyCheckoutsAcrossRepositoriesWithTheLocalCopysState) {
    OkAs("alice", {"doc", "checkout", "1", "工作"});
    OkAs("alice", {"doc", "checkout", "2", "w"});
    EXPECT_EQ(RunAs("bob", {"doc", "checkout", "demo:fork.prt"}).code, 1);  // alice holds it
    Ok({"doc", "checkout", "3", "admin"});
    const struct {
        const char* step;  // what happens to alice's copy of document 1
        const char* local;
    } rows[] = {
        {"", "unchanged"}, {"edit", "changed"}, {"undo", "unchanged"}, {"remove", "missing"}};
    for (const auto& r : rows) {
        const std::string step = r.step;
        if (step == "edit") WriteFile("工作/车架.prt", "frame v2\n");
        if (step == "undo") WriteFile("工作/车架.prt", "frame\n");
        if (step == "remove") fs::remove(Path("工作/车架.prt"));
        const auto mine = Status("alice");
        ASSERT_EQ(mine.size(), 2u) << mine;
        EXPECT_EQ(mine[0]["repository"], "demo");
        EXPECT_EQ(mine[0]["local"], "unchanged");
        EXPECT_EQ(mine[1]["repository"], "自行车");
        EXPECT_EQ(mine[1]["path"], "框架/车架.prt");
        EXPECT_EQ(mine[1]["file"], Path("工作/车架.prt").string());
        EXPECT_EQ(mine[1]["local"], r.local) << step;
    }
    EXPECT_EQ(Status("bob"), nlohmann::json::array());
    EXPECT_NE(OkAs("bob", {"status"}).find("(you hold no documents: bob)"), std::string::npos);
    // A check-in ends the entry.
    WriteFile("w/fork.prt", "fork v2\n");
    OkAs("alice", {"doc", "checkin", "2", "w/fork.prt", "-m", "longer"});
    EXPECT_EQ(Status("alice").size(), 1u);
}

TEST_F(VaultStatusCli, AllListsEveryonesCheckoutsInReadableRepositoriesWithHowLongTheyAreHeld) {
    OkAs("alice", {"doc", "checkout", "1", "a"});
    OkAs("bob", {"doc", "checkout", "2", "b"});
    Ok({"doc", "checkout", "3", "admin"});
    const auto everyone = Status("carol", true);
    EXPECT_EQ(everyone, nlohmann::json::array()) << "carol may read nothing";
    Ok({"rights", "grant", "demo", "carol", "r"});
    Ok({"rights", "grant", "自行车", "carol", "r"});
    const auto seen = Status("carol", true);
    ASSERT_EQ(seen.size(), 2u) << seen;
    EXPECT_EQ(seen[0]["holder"], "bob");
    EXPECT_EQ(seen[1]["holder"], "alice");
    EXPECT_TRUE(seen[1]["held_for"].is_string());
    EXPECT_LT(seen[1]["held_seconds"].get<long long>(), 600);
    // Others' local copies are not looked at.
    EXPECT_TRUE(seen[1]["local"].is_null());
    const std::string table = OkAs("carol", {"status", "--all"});
    EXPECT_NE(table.find("HOLDER  HELD"), std::string::npos) << table;
    EXPECT_EQ(Status("system", true).size(), 3u);
}

}  // namespace zub::vault::test
