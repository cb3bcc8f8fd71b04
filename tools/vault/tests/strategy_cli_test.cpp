// vault strategy show|set, and the numbering it drives.
#include "vaultrunner.h"

namespace zub::vault::test {

TEST_F(VaultCli, TheDefaultStrategyNumbersMainAndSub) {
    InitStore();
    const auto st = Run({"strategy", "show", "--json"}).Json();
    EXPECT_EQ(st["id"], 1);
    EXPECT_EQ(st["scheme"], 2);
    EXPECT_EQ(st["begin_main"], 1);
    EXPECT_EQ(st["begin_sub"], 0);
    EXPECT_EQ(st["new_doc_begin"], 0);
    EXPECT_NE(Ok({"strategy", "show"}).find("Numbering:"), std::string::npos);
    EXPECT_EQ(Run({"strategy", "show", "5"}).err,
              ErrorLine(49716, "no version strategy with id 5"));
}

TEST_F(VaultCli, WholeNumberingAppliesToNewDocumentsAndCheckins) {
    InitStore();
    Ok({"strategy", "set", "--scheme", "1"});
    const auto st = Run({"strategy", "show", "--json"}).Json();
    EXPECT_EQ(st["scheme"], 1);
    EXPECT_EQ(st["begin_main"], 1);  // untouched values stay

    Ok({"repo", "create", "demo"});
    WriteFile("a.prt", "one\n");
    const auto doc = Run({"doc", "add", "demo", "a.prt", "--json"}).Json();
    EXPECT_EQ(doc["version"], "1");
    Ok({"doc", "checkout", "1", "w"});
    WriteFile("w/a.prt", "two\n");
    Ok({"doc", "checkin", "1", "w/a.prt", "-m", "second"});
    EXPECT_EQ(Run({"doc", "show", "1", "--json"}).Json()["version"], "2");
    const auto history = Run({"doc", "history", "1", "--json"}).Json();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0]["version"], "2");
    EXPECT_EQ(history[1]["version"], "1");
    Ok({"doc", "get", "1", "1", "old"});
    EXPECT_EQ(ReadFile(Path("old/a.prt")), "one\n");
}

TEST_F(VaultCli, OnlyTheAdministratorChangesStrategies) {
    InitStore();
    Ok({"user", "add", "alice"});
    EXPECT_EQ(RunAs("alice", {"strategy", "set", "--scheme", "1"}).err,
              ErrorLine(49711, "only the administrator \"system\" may change version strategies"));
    EXPECT_EQ(Run({"strategy", "show", "--json"}).Json()["scheme"], 2);
    EXPECT_EQ(Run({"strategy", "set", "3", "--scheme", "1"}).err,
              ErrorLine(49716, "no version strategy with id 3"));
    Ok({"strategy", "set", "--begin-main", "2", "--begin-sub", "5"});
    Ok({"repo", "create", "demo"});
    WriteFile("a.prt", "one\n");
    EXPECT_EQ(Run({"doc", "add", "demo", "a.prt", "--json"}).Json()["version"], "2.5");
}

// Every strategy id a command takes is one a command can make.
TEST_F(VaultCli, StrategiesAreAddedForRepositoriesToName) {
    InitWithUsers();
    EXPECT_EQ(Run({"strategy", "set", "2", "--scheme", "1"}).err,
              ErrorLine(49716, "no version strategy with id 2"));
    EXPECT_EQ(RunAs("alice", {"strategy", "add"}).code, 1);
    const auto added = Run({"strategy", "add", "--scheme", "1", "--json"}).Json();
    EXPECT_EQ(added["id"], 2);
    EXPECT_EQ(added["scheme"], 1);
    EXPECT_EQ(added["begin_main"], 1);
    Ok({"strategy", "set", "2", "--begin-main", "7"});
    EXPECT_EQ(Run({"strategy", "show", "2", "--json"}).Json()["begin_main"], 7);
    EXPECT_EQ(Run({"strategy", "show", "1", "--json"}).Json()["scheme"], 2);
    Ok({"repo", "set-strategy", "demo", "2"});
    EXPECT_EQ(Run({"repo", "show", "demo", "--json"}).Json()["strategy_id"], 2);
}

}  // namespace zub::vault::test
