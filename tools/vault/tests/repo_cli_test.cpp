// vault repo create|list|show|rename|set-strategy|backup|delete.
#include "vaultrunner.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

TEST_F(VaultCli, ARepositoryIsCreatedOnTheStoresFileServer) {
    InitStore();
    const auto repo = Run({"repo", "create", "demo", "--json"}).Json();
    EXPECT_EQ(repo["name"], "demo");
    EXPECT_EQ(repo["directory"], "/repos/demo/");
    // Named relative to the store, so a copied store works on its own files.
    EXPECT_EQ(repo["server"], "file:files");
    EXPECT_EQ(repo["port"], 0);
    EXPECT_EQ(repo["creator"], "system");
    EXPECT_EQ(repo["strategy_id"], 1);
    EXPECT_TRUE(repo["created"].is_string());
    for (const char* sub : {"trunk", "history", "baseline"})
        EXPECT_TRUE(fs::is_directory(store_ / "files" / "repos" / "demo" / sub)) << sub;

    // By id and by name alike.
    const auto byName = Run({"repo", "show", "demo", "--json"}).Json();
    const auto byId = Run({"repo", "show", std::to_string(repo["id"].get<int>()), "--json"}).Json();
    EXPECT_EQ(byName, byId);
    EXPECT_EQ(byName["documents"], 0);
    EXPECT_EQ(byName["baselines"], 0);
    EXPECT_EQ(byName["next_main_version"], "0");

    const auto list = Run({"repo", "list", "--json"}).Json();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]["id"], repo["id"]);
    EXPECT_EQ(list[0]["creator"], "system");

    const std::string table = Ok({"repo", "list"});
    EXPECT_EQ(table.substr(0, table.find('\n')),
              "ID  NAME  DIRECTORY     STRATEGY  CREATOR  CREATED");
}

TEST_F(VaultCli, NamesSharingAPrefixGetSeparateDirectories) {
    InitStore();
    Ok({"repo", "create", "demo"});
    Ok({"repo", "create", "demo2"});
    Ok({"repo", "create", "de"});
    EXPECT_EQ(Run({"repo", "list", "--json"}).Json().size(), 3u);
}

TEST_F(VaultCli, NestedServerDirectoriesAreRefused) {
    InitStore();
    Ok({"repo", "create", "outer", "--dir", "/projects/a"});
    const RunResult inner = Run({"repo", "create", "inner", "--dir", "\\projects\\a\\b"});
    EXPECT_EQ(inner.code, 1);
    EXPECT_EQ(inner.err, ErrorLine(49715,
                                   "the server directory \\projects\\a\\b\\ lies inside or "
                                   "around another repository's; choose one with --dir"));
    EXPECT_EQ(Run({"repo", "create", "around", "--dir", "projects"}).code, 1);
    EXPECT_EQ(Run({"repo", "create", "up", "--dir", "projects/../x"}).code, 1);
    EXPECT_EQ(Run({"repo", "list", "--json"}).Json().size(), 1u);
}

TEST_F(VaultCli, RepositoryNamesAreUniqueAndNotNumbers) {
    InitStore();
    Ok({"repo", "create", "demo"});
    EXPECT_EQ(Run({"repo", "create", "demo"}).err,
              ErrorLine(49709, "a repository named demo exists already"));
    for (const char* bad : {"42", "a/b", "a\\b", "a:b"}) {
        const RunResult r = Run({"repo", "create", bad});
        EXPECT_EQ(r.code, 1) << bad;
        EXPECT_EQ(r.err.substr(0, 19), "vault: error 49710:") << bad;
    }
}

TEST_F(VaultCli, UnknownRepositoriesAreReportedByIdAndByName) {
    InitStore();
    const RunResult byId = Run({"repo", "show", "99"});
    EXPECT_EQ(byId.code, 1);
    EXPECT_EQ(byId.err, ErrorLine(49609, "DocRepoId is invalid"));
    EXPECT_EQ(Run({"repo", "show", "nope"}).err, ErrorLine(49706, "no repository named nope"));
}

TEST_F(VaultCli, RenameAndStrategyAreStored) {
    InitStore();
    Ok({"repo", "create", "old"});
    Ok({"repo", "create", "taken"});
    EXPECT_EQ(Run({"repo", "rename", "old", "taken"}).err,
              ErrorLine(49709, "a repository named taken exists already"));
    Ok({"repo", "rename", "old", "new"});
    EXPECT_EQ(Run({"repo", "show", "new", "--json"}).Json()["name"], "new");
    EXPECT_EQ(Run({"repo", "show", "old"}).code, 1);

    EXPECT_EQ(Run({"repo", "set-strategy", "new", "7"}).err,
              ErrorLine(49716, "no version strategy with id 7"));
    Ok({"repo", "set-strategy", "new", "1"});
    EXPECT_EQ(Run({"repo", "show", "new", "--json"}).Json()["strategy_id"], 1);
}

TEST_F(VaultCli, BackupCopiesTheCurrentFilesWithTheirFolders) {
    InitStore();
    Ok({"repo", "create", "demo"});
    WriteFile("src/plate.prt", "plate v1\n");
    WriteFile("src/m6.prt", "bolt\n");
    Ok({"doc", "add", "demo", "src/plate.prt", "--base", "src"});
    Ok({"doc", "add", "demo", "src/m6.prt", "--base", "src", "--folder", "parts/bolts"});
    Ok({"repo", "backup", "demo", "copy"});
    EXPECT_EQ(ReadFile(Path("copy/plate.prt")), "plate v1\n");
    EXPECT_EQ(ReadFile(Path("copy/parts/bolts/m6.prt")), "bolt\n");

    // Again over the same files is fine; over local edits only with --force,
    // and a refusal writes nothing.
    Ok({"repo", "backup", "demo", "copy"});
    WriteFile("copy/parts/bolts/m6.prt", "local edit\n");
    fs::remove(Path("copy/plate.prt"));
    const RunResult refused = Run({"repo", "backup", "demo", "copy"});
    EXPECT_EQ(refused.err, ErrorLine(49714, Path("copy/parts/bolts/m6.prt").string() +
                                                " exists with other content; use --force to "
                                                "overwrite"));
    EXPECT_EQ(ReadFile(Path("copy/parts/bolts/m6.prt")), "local edit\n");
    EXPECT_FALSE(fs::exists(Path("copy/plate.prt")));
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("copy")), fs::directory_iterator()), 1)
        << "no scratch folder is left";
    Ok({"repo", "backup", "demo", "copy", "--force"});
    EXPECT_EQ(ReadFile(Path("copy/parts/bolts/m6.prt")), "bolt\n");
    EXPECT_EQ(ReadFile(Path("copy/plate.prt")), "plate v1\n");
}

TEST_F(VaultCli, RenameRefusesControlCharactersAsCreateDoes) {
    InitStore();
    Ok({"repo", "create", "demo"});
    for (const std::string bad : {"a\tb", "esc\x1b[31m", "nl\n"}) {
        const RunResult created = Run({"repo", "create", bad});
        const RunResult renamed = Run({"repo", "rename", "demo", bad});
        EXPECT_EQ(renamed.code, 1) << bad;
        EXPECT_EQ(renamed.err.substr(0, 19), "vault: error 49610:") << renamed.err;
        EXPECT_EQ(created.err.substr(0, 19), "vault: error 49610:") << created.err;
    }
    EXPECT_EQ(Run({"repo", "show", "demo", "--json"}).Json()["name"], "demo");
}

TEST_F(VaultCli, DeleteRemovesTheRepositoryAndItsFiles) {
    InitStore();
    const auto repo = Run({"repo", "create", "demo", "--json"}).Json();
    WriteFile("plate.prt", "plate\n");
    Ok({"doc", "add", "demo", "plate.prt"});
    Ok({"doc", "checkout", "1", "work"});

    // A held document stops the delete unless forced.
    const RunResult held = Run({"repo", "delete", "demo"});
    EXPECT_EQ(held.code, 1);
    EXPECT_EQ(held.err, ErrorLine(49712,
                                  "document plate.prt is checked out by system; use "
                                  "--force to delete the repository anyway"));
    EXPECT_TRUE(fs::exists(store_ / "files" / "repos" / "demo" / "trunk" / "plate.prt"));

    Ok({"repo", "delete", "demo", "--force"});
    EXPECT_FALSE(fs::exists(store_ / "files" / "repos" / "demo"));
    EXPECT_EQ(Run({"repo", "show", std::to_string(repo["id"].get<int>())}).err,
              ErrorLine(49609, "DocRepoId is invalid"));
    EXPECT_EQ(Run({"repo", "list", "--json"}).Json().size(), 0u);
    EXPECT_EQ(Run({"doc", "show", "1"}).err, ErrorLine(49501, "document number 1 does not exist"));
}

TEST_F(VaultCli, ListForAUserShowsWhatTheUserMaySee) {
    InitWithUsers();
    Ok({"repo", "create", "hidden"});
    Ok({"role", "add", "viewers", "--member", "carol"});
    Ok({"rights", "grant", "demo", "alice", "r"});
    Ok({"repo", "create", "shared"});
    Ok({"rights", "grant", "shared", "role:viewers", "r"});

    auto names = [&](const std::string& user) {
        std::vector<std::string> n;
        for (const auto& r : Run({"repo", "list", "--for", user, "--json"}).Json())
            n.push_back(r["name"]);
        return n;
    };
    EXPECT_EQ(names("alice"), std::vector<std::string>{"demo"});
    EXPECT_EQ(names("carol"), std::vector<std::string>{"shared"});
    EXPECT_EQ(names("bob"), std::vector<std::string>{});
    EXPECT_EQ(Run({"repo", "list", "--json"}).Json().size(), 3u);
    EXPECT_EQ(Run({"repo", "list", "--for", "zed"}).err, ErrorLine(49704, "no user named zed"));
}

}  // namespace zub::vault::test
