// vault init, how the store and the acting user are found, usage errors.
#include "vaultrunner.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

TEST_F(VaultCli, InitMakesAReadyStoreAndSaysHowToUseIt) {
    const RunResult r = Run({"init"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(fs::is_regular_file(store_ / "QVData.sqlite3"));
    EXPECT_TRUE(fs::is_regular_file(store_ / "QVSystem.sqlite3"));
    EXPECT_TRUE(fs::is_directory(store_ / "files"));
    EXPECT_NE(r.out.find("export VAULT_STORE=" + store_.string() + " VAULT_USER=system"),
              std::string::npos)
        << r.out;
    // Ready means: the administrator exists and the default strategy numbers 1.0.
    const auto users = Run({"user", "list", "--json"}).Json();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0]["name"], "system");
    EXPECT_EQ(Run({"strategy", "show", "--json"}).Json()["scheme"], 2);
}

TEST_F(VaultCli, InitNeverTouchesAnExistingStore) {
    InitStore();
    Ok({"repo", "create", "kept"});
    const RunResult again = Run({"init"});
    EXPECT_EQ(again.code, 1);
    EXPECT_EQ(again.err, ErrorLine(49702, "a vault store exists already in " + store_.string()));
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(Run({"repo", "list", "--json"}).Json().size(), 1u);
}

TEST_F(VaultCli, InitTakesTheFolderAsArgument) {
    const fs::path other = ws_ / "elsewhere" / "store";
    Ok({"init", other.string()});
    EXPECT_TRUE(fs::is_regular_file(other / "QVData.sqlite3"));
    EXPECT_FALSE(fs::exists(store_));
}

TEST_F(VaultCli, StoreComesFromOptionThenEnvironmentThenCurrentFolder) {
    const fs::path a = ws_ / "a";
    const fs::path b = ws_ / "b";
    Ok({"init", a.string()});
    Ok({"init", b.string()});
    Run({"repo", "create", "in-a"}, {{"VAULT_STORE", a.string()}});
    Run({"repo", "create", "in-b"}, {{"VAULT_STORE", b.string()}});

    // --store wins over the environment, also after the command.
    auto names = [](const RunResult& r) {
        std::vector<std::string> n;
        for (const auto& repo : r.Json()) n.push_back(repo["name"]);
        return n;
    };
    EXPECT_EQ(names(Run({"--store", a.string(), "repo", "list", "--json"},
                        {{"VAULT_STORE", b.string()}})),
              std::vector<std::string>{"in-a"});
    EXPECT_EQ(names(Run({"repo", "list", "--json", "--store", a.string()},
                        {{"VAULT_STORE", b.string()}})),
              std::vector<std::string>{"in-a"});
    EXPECT_EQ(names(Run({"repo", "list", "--json"}, {{"VAULT_STORE", b.string()}})),
              std::vector<std::string>{"in-b"});

    // Neither: ./vaultdata of the current folder.
    const fs::path here = ws_ / "here";
    fs::create_directories(here);
    EXPECT_EQ(Run({"init"}, {{"VAULT_STORE", ""}}, here).code, 0);
    EXPECT_TRUE(fs::is_regular_file(here / "vaultdata" / "QVData.sqlite3"));
}

TEST_F(VaultCli, AMissingStoreIsNamedInTheError) {
    const RunResult r = Run({"repo", "list"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, ErrorLine(49701, "no vault store in " + store_.string() +
                                          " (make one with `vault init`, or name it with "
                                          "--store DIR or VAULT_STORE)"));
    // Looking must not create anything.
    EXPECT_FALSE(fs::exists(store_ / "QVData.sqlite3"));
}

TEST_F(VaultCli, TheActingUserMustBeGivenAndKnown) {
    InitStore();
    const RunResult none = Run({"repo", "list"}, {{"VAULT_USER", ""}});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.err, ErrorLine(49703, "no acting user: give --user NAME or set VAULT_USER"));

    const RunResult unknown = Run({"repo", "list"}, {{"VAULT_USER", "mallory"}});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_EQ(unknown.err, ErrorLine(49704, "no user named mallory"));

    // --user wins over the environment.
    EXPECT_EQ(Run({"--user", "system", "repo", "list"}, {{"VAULT_USER", "mallory"}}).code, 0);
}

TEST_F(VaultCli, BadArgumentsGetUsageAndExitTwo) {
    InitStore();
    const RunResult bare = Run({});
    EXPECT_EQ(bare.code, 2);
    EXPECT_NE(bare.out.find("Usage:"), std::string::npos);

    // Unknown commands and groups alone: see the guide's tests.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"repo", "create"},
                                                 {"doc", "checkin", "1", "file.prt"},
                                                 {"repo", "list", "--bogus"},
                                                 {"strategy", "set", "--scheme", "7"},
                                                 {"repo", "set-strategy", "demo", "x"}}) {
        const RunResult r = Run(args);
        std::string line;
        for (const auto& a : args) line += " " + a;
        EXPECT_EQ(r.code, 2) << "vault" << line << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find("Run with --help for more information."), std::string::npos)
            << "vault" << line << "\n"
            << r.err;
    }
}

TEST_F(VaultCli, EveryCommandHasHelp) {
    const std::vector<std::vector<std::string>> commands = {{},
                                                            {"init"},
                                                            {"user"},
                                                            {"user", "add"},
                                                            {"user", "list"},
                                                            {"role"},
                                                            {"role", "add"},
                                                            {"role", "list"},
                                                            {"repo"},
                                                            {"repo", "create"},
                                                            {"repo", "list"},
                                                            {"repo", "show"},
                                                            {"repo", "rename"},
                                                            {"repo", "set-strategy"},
                                                            {"repo", "backup"},
                                                            {"repo", "delete"},
                                                            {"rights"},
                                                            {"rights", "list"},
                                                            {"rights", "grant"},
                                                            {"rights", "revoke"},
                                                            {"rights", "show"},
                                                            {"strategy"},
                                                            {"strategy", "show"},
                                                            {"strategy", "set"},
                                                            {"doc"},
                                                            {"doc", "add"},
                                                            {"doc", "list"},
                                                            {"doc", "show"},
                                                            {"doc", "checkout"},
                                                            {"doc", "checkin"},
                                                            {"doc", "view"},
                                                            {"doc", "get"},
                                                            {"doc", "history"},
                                                            {"doc", "rename"},
                                                            {"doc", "delete"},
                                                            {"baseline"},
                                                            {"baseline", "create"},
                                                            {"baseline", "list"},
                                                            {"baseline", "download"},
                                                            {"baseline", "delete"}};
    for (auto args : commands) {
        std::string usage = "Usage: vault";
        for (const auto& a : args) usage += " " + a;
        args.push_back("--help");
        // Help needs no store and no user.
        const RunResult r = Run(args, {{"VAULT_USER", ""}});
        EXPECT_EQ(r.code, 0) << usage;
        EXPECT_NE(r.out.find(usage), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(fs::exists(store_));
}

}  // namespace zub::vault::test
