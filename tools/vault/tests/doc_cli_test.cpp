// vault doc add|list|show|checkout|checkin|view|get|history|rename|delete.
#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvsvrinfo.h"
#include "vaultrunner.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

class VaultDocCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        InitWithUsers();
        Ok({"rights", "grant", "demo", "alice", "rw"});
        Ok({"rights", "grant", "demo", "bob", "rw"});
        WriteFile("bracket.prt", "rev A\n");
        Ok({"doc", "add", "demo", "bracket.prt"});
    }

    // Checks out document 1 as `user` into DIR, appends `line`, checks in.
    void Change(const std::string& user, const std::string& dir, const std::string& line,
                const std::string& message) {
        OkAs(user, {"doc", "checkout", "1", dir, "--force"});
        WriteFile(dir + "/bracket.prt", ReadFile(Path(dir + "/bracket.prt")) + line);
        OkAs(user, {"doc", "checkin", "1", dir + "/bracket.prt", "-m", message});
    }

    nlohmann::json Doc(const std::string& ref) {
        return Run({"doc", "show", ref, "--json"}).Json();
    }
};

TEST_F(VaultDocCli, AddedDocumentsAreListedWithFolderStateAndVersion) {
    WriteFile("in/m6.prt", "bolt\n");
    const auto added = Run({"doc", "add", "demo", "in/m6.prt", "--folder", "parts/bolts", "--base",
                            "in", "--cad-type", "3", "--json"})
                           .Json();
    EXPECT_EQ(added["path"], "parts/bolts/m6.prt");
    EXPECT_EQ(added["folder"], "parts/bolts");
    EXPECT_EQ(added["version"], "1.0");
    EXPECT_EQ(added["cad_type"], 3);
    EXPECT_EQ(added["creator"], "system");
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/parts/bolts/m6.prt"), "bolt\n");

    const auto list = Run({"doc", "list", "demo", "--json"}).Json();
    ASSERT_EQ(list.size(), 2u);
    // Sorted by folder: the trunk's own files first.
    EXPECT_EQ(list[0]["path"], "bracket.prt");
    EXPECT_EQ(list[1]["id"], added["id"]);
    EXPECT_EQ(list[0]["state"], "checked in");
    EXPECT_TRUE(list[0]["holder"].is_null());

    // A document by id or by its path in the repository.
    EXPECT_EQ(Doc("demo:parts/bolts/m6.prt")["id"], added["id"]);
    EXPECT_EQ(Doc("demo:bracket.prt")["id"], 1);
    EXPECT_EQ(Run({"doc", "show", "demo:parts/m6.prt"}).err,
              ErrorLine(49707, "no document parts/m6.prt in repository demo"));
    EXPECT_EQ(Run({"doc", "show", "77"}).err,
              ErrorLine(49501, "document number 77 does not exist"));
}

TEST_F(VaultDocCli, AddRefusesMissingFilesDuplicatesAndNamesWithoutExtension) {
    EXPECT_EQ(Run({"doc", "add", "demo", "nothere.prt"}).err,
              ErrorLine(49714, "no such file: nothere.prt"));
    const RunResult dup = Run({"doc", "add", "demo", "bracket.prt"});
    EXPECT_EQ(dup.code, 1);
    EXPECT_EQ(dup.err.substr(0, 19), "vault: error 49611:");
    WriteFile("Makefile", "all:\n");
    EXPECT_EQ(
        Run({"doc", "add", "demo", "Makefile"}).err,
        ErrorLine(49710, "documents are named NAME.EXT; this name has no extension: Makefile"));
    EXPECT_EQ(Run({"doc", "add", "demo", "bracket.prt", "--folder", "a/../b"}).code, 1);
    EXPECT_EQ(Run({"doc", "list", "demo", "--json"}).Json().size(), 1u);
}

TEST_F(VaultDocCli, CheckoutHoldsTheDocumentForOneUser) {
    OkAs("alice", {"doc", "checkout", "1", "alice"});
    EXPECT_EQ(ReadFile(Path("alice/bracket.prt")), "rev A\n");
    const auto doc = Doc("1");
    EXPECT_EQ(doc["state"], "checked out");
    EXPECT_EQ(doc["holder"], "alice");
    const std::string table = Ok({"doc", "list", "demo"});
    EXPECT_NE(table.find("checked out  alice"), std::string::npos) << table;

    const RunResult other = RunAs("bob", {"doc", "checkout", "1", "bob"});
    EXPECT_EQ(other.code, 1);
    EXPECT_EQ(other.err, ErrorLine(49712, "document bracket.prt is checked out by alice"));
    EXPECT_FALSE(fs::exists(Path("bob/bracket.prt")));
    WriteFile("bob/bracket.prt", "bob's\n");
    EXPECT_EQ(RunAs("bob", {"doc", "checkin", "1", "bob/bracket.prt", "-m", "x"}).err,
              ErrorLine(49713, "document bracket.prt is checked out by alice, not by bob"));
    EXPECT_EQ(RunAs("bob", {"doc", "rename", "1", "other.prt"}).code, 1);
    EXPECT_EQ(RunAs("bob", {"doc", "delete", "1"}).err,
              ErrorLine(49712,
                        "document bracket.prt is checked out by alice; use --force to "
                        "delete it anyway"));
    EXPECT_EQ(Doc("1")["holder"], "alice");
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/bracket.prt"), "rev A\n");
}

TEST_F(VaultDocCli, CheckinNeedsACheckout) {
    const RunResult r = Run({"doc", "checkin", "1", "bracket.prt", "-m", "x"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              ErrorLine(49713, "document bracket.prt is not checked out; check it out first"));
    EXPECT_EQ(Doc("1")["version"], "1.0");
}

TEST_F(VaultDocCli, CheckinsAdvanceTheVersionAndBuildTheHistory) {
    Change("alice", "w", "rev B\n", "second revision");
    const auto afterOne = Doc("1");
    EXPECT_EQ(afterOne["version"], "1.1");
    EXPECT_EQ(afterOne["state"], "checked in");
    EXPECT_TRUE(afterOne["holder"].is_null());
    EXPECT_EQ(afterOne["last_operator"], "alice");
    Change("bob", "w2", "rev C\n", "third revision");
    EXPECT_EQ(Doc("1")["version"], "1.2");
    EXPECT_EQ(Doc("1")["revisions"], 2);
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/bracket.prt"), "rev A\nrev B\nrev C\n");

    // One row per version, newest first, each with the check-in that made it.
    const auto history = Run({"doc", "history", "1", "--json"}).Json();
    ASSERT_EQ(history.size(), 3u);
    struct Row {
        const char* version;
        const char* user;
        const char* message;
        bool current;
    };
    const Row rows[] = {{"1.2", "bob", "third revision", true},
                        {"1.1", "alice", "second revision", false},
                        {"1.0", "system", "(added)", false}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(history[i]["version"], rows[i].version) << i;
        EXPECT_EQ(history[i]["user"], rows[i].user) << i;
        EXPECT_EQ(history[i]["message"], rows[i].message) << i;
        EXPECT_EQ(history[i]["current"], rows[i].current) << i;
        EXPECT_TRUE(history[i]["time"].is_string()) << i;
    }

    const std::string text = Ok({"doc", "log", "1"});
    EXPECT_EQ(text.substr(0, text.find('\n')), "bracket.prt (document 1), current version 1.2:");
    EXPECT_NE(text.find("bob     third revision"), std::string::npos) << text;
    EXPECT_NE(text.find("system  (added)"), std::string::npos) << text;
}

TEST_F(VaultDocCli, ADocumentWithoutCheckinsHasItsFirstVersionAsHistory) {
    const auto history = Run({"doc", "history", "1", "--json"}).Json();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0]["version"], "1.0");
    EXPECT_EQ(history[0]["message"], "(added)");
    EXPECT_EQ(history[0]["current"], true);
    EXPECT_EQ(Doc("1")["revisions"], 0);
}

TEST_F(VaultDocCli, OlderVersionsAreFetchedWithoutClobberingLocalFiles) {
    Change("alice", "w", "rev B\n", "b");
    Change("alice", "w", "rev C\n", "c");
    Ok({"doc", "get", "1", "1.0", "old"});
    EXPECT_EQ(ReadFile(Path("old/bracket.prt")), "rev A\n");

    // A different local file stays unless forced; the same content is fine.
    const RunResult clash = Run({"doc", "get", "1", "1.1", "old"});
    EXPECT_EQ(clash.code, 1);
    EXPECT_EQ(clash.err, ErrorLine(49714, Path("old/bracket.prt").string() +
                                              " exists with other content; use --force to "
                                              "overwrite it"));
    EXPECT_EQ(ReadFile(Path("old/bracket.prt")), "rev A\n");
    Ok({"doc", "get", "1", "1.0", "old"});
    Ok({"doc", "get", "1", "1.1", "old", "--force"});
    EXPECT_EQ(ReadFile(Path("old/bracket.prt")), "rev A\nrev B\n");
    // Nothing of the work is left behind in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(Path("old")), fs::directory_iterator()), 1);

    EXPECT_EQ(Run({"doc", "get", "1", "1.7"}).err,
              ErrorLine(49717,
                        "document bracket.prt has no saved version 1.7 (see vault doc "
                        "history)"));
    Ok({"doc", "view", "1", "now"});
    EXPECT_EQ(ReadFile(Path("now/bracket.prt")), "rev A\nrev B\nrev C\n");
}

// A version is named as the document's numbering writes it; the current one
// is the current file.
TEST_F(VaultDocCli, GetTakesVersionsOfTheDocumentsFormIncludingTheCurrentOne) {
    Change("alice", "w", "rev B\n", "b");
    const std::string wrongForm =
        "is not of the form of document bracket.prt's versions (MAIN.SUB, like its current 1.1)";
    const struct {
        const char* version;
        const char* error;  // empty: fetched
        const char* content;
    } rows[] = {
        {"1.0", "", "rev A\n"},           {"1.1", "", "rev A\nrev B\n"},
        {"1", "version 1 ", nullptr},     {"1.", "version 1. ", nullptr},
        {".0", "version .0 ", nullptr},   {"1.0.0", "version 1.0.0 ", nullptr},
        {"x.1", "version x.1 ", nullptr},
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string dir = "g" + std::to_string(++n);
        const RunResult got = Run({"doc", "get", "1", r.version, dir});
        if (r.content == nullptr) {
            EXPECT_EQ(got.err, ErrorLine(49710, r.error + wrongForm)) << r.version;
            EXPECT_FALSE(fs::exists(Path(dir + "/bracket.prt")));
        } else {
            EXPECT_EQ(got.code, 0) << r.version << got.err;
            EXPECT_EQ(ReadFile(Path(dir + "/bracket.prt")), r.content) << r.version;
        }
    }
}

TEST_F(VaultDocCli, ABackslashInAFileNameIsRefusedNotTakenForAFolder) {
    WriteFile("back\\slash.prt", "x\n");
    const RunResult r = Run({"doc", "add", "demo", "back\\slash.prt"});
    EXPECT_EQ(r.err, ErrorLine(49710,
                               "a document name may not contain \\: back\\slash.prt; rename the "
                               "file, or use --folder for a sub-folder"));
    EXPECT_EQ(Run({"doc", "list", "demo", "--json"}).Json().size(), 1u);
    EXPECT_FALSE(fs::exists(store_ / "files/repos/demo/trunk/slash.prt"));
}

// Deleting what another user holds takes their work away: the manage right,
// as for unlocking it.
TEST_F(VaultDocCli, DeletingAnotherUsersCheckoutNeedsTheManageRight) {
    OkAs("alice", {"doc", "checkout", "1", "a"});
    const RunResult writer = RunAs("bob", {"doc", "delete", "1", "--force"});
    EXPECT_EQ(writer.code, 1);
    EXPECT_EQ(writer.err.substr(0, 19), "vault: error 49711:") << writer.err;
    EXPECT_EQ(Doc("1")["holder"], "alice");
    Ok({"rights", "grant", "demo", "bob", "rwm"});
    EXPECT_EQ(RunAs("bob", {"doc", "delete", "1"}).code, 1) << "still needs --force";
    OkAs("bob", {"doc", "delete", "1", "--force"});
    EXPECT_EQ(Run({"doc", "show", "1"}).err, ErrorLine(49501, "document number 1 does not exist"));
}

TEST_F(VaultDocCli, CheckoutNeverOverwritesLocalEdits) {
    OkAs("alice", {"doc", "checkout", "1", "w"});
    WriteFile("w/bracket.prt", "unsaved edit\n");
    OkAs("alice", {"doc", "checkin", "1", "w/bracket.prt", "-m", "edit"});
    WriteFile("w/bracket.prt", "edited again, not checked in\n");

    const RunResult r = RunAs("alice", {"doc", "checkout", "1", "w"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.substr(0, 19), "vault: error 49714:");
    EXPECT_EQ(ReadFile(Path("w/bracket.prt")), "edited again, not checked in\n");
    // The refused checkout holds nothing.
    EXPECT_EQ(Doc("1")["state"], "checked in");

    // A local file equal to the current version is no obstacle.
    WriteFile("w/bracket.prt", "unsaved edit\n");
    OkAs("alice", {"doc", "checkout", "1", "w"});
    EXPECT_EQ(Doc("1")["holder"], "alice");
}

TEST_F(VaultDocCli, CheckinTakesTheFileFromTheCurrentFolderAndRecordsTheCadForm) {
    const fs::path w = Path("w");
    fs::create_directories(w);
    EXPECT_EQ(Run({"doc", "checkout", "1"}, {}, w).code, 0);
    WriteFile("w/bracket.prt", "rev B\n");
    const RunResult r = Run({"doc", "checkin", "1", "-m", "form", "--cad-form", "RC-7"}, {}, w);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/bracket.prt"), "rev B\n");

    zub::vaultschema::ProductStore::Register();
    auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(L"sqlite:" + zub::Utf8ToWide(store_.string()), 0, L"QVData", L""), L"");
    ASSERT_TRUE(db);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    ZUBDB::QVParams none;
    ASSERT_EQ(db->SelectRows(rs, L"QV_CaxForm", L"rcId,revision,DocId", none, L"", L"", L"", 0, 0),
              0);
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_EQ(rs->GetStringAt(0), L"RC-7");
    EXPECT_EQ(rs->GetIntAt(1), 1);
    EXPECT_EQ(rs->GetIntAt(2), 1);
}

TEST_F(VaultDocCli, RenameKeepsTheFolderAndRefusesClashes) {
    WriteFile("other.prt", "o\n");
    Ok({"doc", "add", "demo", "other.prt"});
    EXPECT_EQ(Run({"doc", "rename", "1", "other.prt"}).err,
              ErrorLine(49709, "document other.prt exists already"));
    EXPECT_EQ(Run({"doc", "rename", "1", "noext"}).code, 1);
    EXPECT_EQ(Run({"doc", "rename", "1", "sub/x.prt"}).code, 1);
    Ok({"doc", "rename", "1", "bracket.left.prt"});
    const auto doc = Doc("1");
    EXPECT_EQ(doc["name"], "bracket.left.prt");
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/bracket.left.prt"), "rev A\n");
    EXPECT_FALSE(fs::exists(store_ / "files/repos/demo/trunk/bracket.prt"));
}

TEST_F(VaultDocCli, DeleteRemovesTheDocumentButKeepsItsSavedVersions) {
    Change("alice", "w", "rev B\n", "b");
    Ok({"doc", "delete", "1"});
    EXPECT_EQ(Run({"doc", "show", "1"}).err, ErrorLine(49501, "document number 1 does not exist"));
    EXPECT_FALSE(fs::exists(store_ / "files/repos/demo/trunk/bracket.prt"));
    EXPECT_TRUE(fs::exists(store_ / "files/repos/demo/history/1_1.0.prt"));
    EXPECT_EQ(Run({"doc", "list", "demo", "--json"}).Json().size(), 0u);
}

TEST_F(VaultDocCli, AnUnchangedCheckinIsRefusedUnlessAllowed) {
    OkAs("alice", {"doc", "checkout", "1", "w"});
    const RunResult same = RunAs("alice", {"doc", "checkin", "1", "w/bracket.prt", "-m", "x"});
    EXPECT_EQ(same.err, ErrorLine(49720, Path("w/bracket.prt").string() +
                                             " has the content of version 1.0 of document "
                                             "bracket.prt; nothing checked in (use "
                                             "--allow-unchanged to make a new version anyway, "
                                             "or vault doc revert to give it back)"));
    EXPECT_EQ(Doc("1")["holder"], "alice");
    OkAs("alice", {"doc", "checkin", "1", "w/bracket.prt", "-m", "touch", "--allow-unchanged"});
    EXPECT_EQ(Doc("1")["version"], "1.1");
}

TEST_F(VaultDocCli, ACheckinOfAnotherNamedFileWarnsNamingBoth) {
    OkAs("alice", {"doc", "checkout", "1", "w"});
    WriteFile("w/托架.prt", "rev B\n");
    const RunResult r = RunAs("alice", {"doc", "checkin", "1", "w/托架.prt", "-m", "b"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err,
              "vault: warning: checking in 托架.prt as document bracket.prt; the names "
              "differ\n");
    OkAs("alice", {"doc", "checkout", "1", "w", "--force"});
    WriteFile("w/bracket.prt", "rev C\n");
    EXPECT_EQ(RunAs("alice", {"doc", "checkin", "1", "w/bracket.prt", "-m", "c"}).err, "");
}

TEST_F(VaultDocCli, RevertGivesBackTheCheckoutAndTheLocalFile) {
    const struct {
        std::vector<std::string> extra;
        const char* local;  // the local file afterwards
        const char* said;
    } rows[] = {
        {{}, "rev A\n", "w/bracket.prt is that version again"},
        {{"--keep-local"}, "edited\n", "the local file stays as it is"},
    };
    for (const auto& r : rows) {
        OkAs("alice", {"doc", "checkout", "1", "w", "--force"});
        WriteFile("w/bracket.prt", "edited\n");
        std::vector<std::string> args = {"doc", "revert", "1", "w"};
        args.insert(args.end(), r.extra.begin(), r.extra.end());
        const std::string out = OkAs("alice", args);
        EXPECT_NE(out.find("Reverted bracket.prt (document 1): checked in at version 1.0"),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find(r.said), std::string::npos) << out;
        EXPECT_EQ(ReadFile(Path("w/bracket.prt")), r.local);
        EXPECT_EQ(Doc("1")["state"], "checked in");
    }
    EXPECT_EQ(RunAs("alice", {"doc", "revert", "1"}).err,
              ErrorLine(49713, "document bracket.prt is not checked out"));
    OkAs("alice", {"doc", "checkout", "1", "w", "--force"});
    EXPECT_EQ(RunAs("bob", {"doc", "revert", "1"}).err,
              ErrorLine(49713,
                        "document bracket.prt is checked out by alice, not by bob (vault doc "
                        "unlock ends another's)"));
    EXPECT_EQ(Doc("1")["holder"], "alice");
    EXPECT_NE(Ok({"doc", "--help"}).find("unlock, revert"), std::string::npos);
}

TEST_F(VaultDocCli, DeletedDocumentsKeepTheirHistoryUnderTheOldId) {
    Change("alice", "w", "rev B\n", "b");
    OkAs("bob", {"doc", "delete", "1"});
    EXPECT_EQ(Run({"doc", "show", "1"}).err, ErrorLine(49501, "document number 1 does not exist"));
    const auto deleted = Run({"doc", "list", "demo", "--deleted", "--json"}).Json();
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0]["id"], 1);
    EXPECT_EQ(deleted[0]["path"], "bracket.prt");
    EXPECT_EQ(deleted[0]["version"], "1.1");
    EXPECT_EQ(deleted[0]["deleted_by"], "bob");

    const auto history = Run({"doc", "history", "1", "--json"}).Json();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0]["version"], "1.0");
    Ok({"doc", "get", "1", "1.0", "old"});
    EXPECT_EQ(ReadFile(Path("old/bracket.prt")), "rev A\n");
    EXPECT_EQ(Run({"doc", "get", "1", "1.1"}).err,
              ErrorLine(49717,
                        "version 1.1 of document bracket.prt was its current file when it was "
                        "deleted and went with it"));
    // A new document of the same name is another document.
    WriteFile("bracket.prt", "new\n");
    Ok({"doc", "add", "demo", "bracket.prt"});
    EXPECT_EQ(Run({"doc", "list", "demo", "--deleted", "--json"}).Json().size(), 1u);
    EXPECT_EQ(Run({"doc", "history", "2", "--json"}).Json().size(), 1u);
}

TEST_F(VaultDocCli, TheLogRecordsRightsRenamesUnlocksAndDeletes) {
    Ok({"rights", "revoke", "demo", "bob"});
    Ok({"rights", "grant", "demo", "bob", "rw"});
    OkAs("alice", {"doc", "checkout", "1", "w"});
    OkAs("alice", {"doc", "unlock", "1"});
    OkAs("bob", {"doc", "rename", "1", "支架.prt"});
    // The administrator ending another's check-out is named as the one who did.
    OkAs("bob", {"doc", "checkout", "1", "w2"});
    Ok({"doc", "unlock", "1"});
    OkAs("alice", {"doc", "delete", "1"});
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> actions;
    } rows[] = {
        // The fixture's two grants, then this test's revoke and grant.
        {{"log", "demo"},
         {"rights grant", "rights grant", "rights revoke", "rights grant", "unlock", "rename",
          "unlock", "delete"}},
        {{"log", "demo", "--user", "BOB"}, {"rename"}},
        {{"log", "demo", "--user", "system"},
         {"rights grant", "rights grant", "rights revoke", "rights grant", "unlock"}},
        {{"log", "demo", "--doc", "2"}, {}},
        {{"log", "--since", "2000-01-01"},
         {"rights grant", "rights grant", "rights revoke", "rights grant", "unlock", "rename",
          "unlock", "delete"}},
        {{"log", "--since", "9999-01-01"}, {}},
    };
    for (const auto& r : rows) {
        std::vector<std::string> args = r.args;
        args.push_back("--json");
        const auto log = Run(args).Json();
        ASSERT_EQ(log.size(), r.actions.size()) << args[1];
        for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(log[i]["action"], r.actions[i]);
    }
    const auto log = Run({"log", "demo", "--json"}).Json();
    EXPECT_EQ(log[2]["user"], "system");
    EXPECT_EQ(log[2]["detail"], "user bob: rw- -> ---");
    EXPECT_TRUE(log[2]["id"].is_null());
    EXPECT_TRUE(log[2]["path"].is_null());
    EXPECT_EQ(log[3]["detail"], "user bob: --- -> rw-");
    EXPECT_EQ(log[4]["user"], "alice");
    EXPECT_EQ(log[4]["detail"], "held by alice");
    EXPECT_EQ(log[5]["path"], "支架.prt");
    EXPECT_EQ(log[5]["detail"], "from bracket.prt");
    EXPECT_EQ(log[6]["detail"], "held by bob");
    EXPECT_EQ(log[7]["user"], "alice");
    EXPECT_EQ(RunAs("carol", {"log"}).code, 1);
    EXPECT_EQ(Run({"log", "--since", "yesterday"}).code, 1);
}

TEST_F(VaultDocCli, MoveKeepsTheDocumentItsIdAndItsHistory) {
    Change("alice", "w", "rev B\n", "b");
    WriteFile("in/bracket.prt", "other\n");
    Ok({"doc", "add", "demo", "in/bracket.prt", "--base", "in", "--folder", "taken"});
    const struct {
        const char* folder;
        const char* error;  // empty: moved
        const char* path;   // the document's path afterwards
    } rows[] = {
        {"taken", "vault: error 49709: document taken/bracket.prt exists already\n", "bracket.prt"},
        {"/", "vault: error 49709: document bracket.prt is in that folder already\n",
         "bracket.prt"},
        {"frame/部件", "", "frame/部件/bracket.prt"},
        {"/", "", "bracket.prt"},
        {"frame", "", "frame/bracket.prt"},
    };
    for (const auto& r : rows) {
        const RunResult m = RunAs("alice", {"doc", "move", "1", r.folder});
        EXPECT_EQ(m.err, r.error) << r.folder;
        EXPECT_EQ(Doc("1")["path"], r.path) << r.folder;
    }
    EXPECT_EQ(ReadFile(store_ / "files/repos/demo/trunk/frame/bracket.prt"), "rev A\nrev B\n");
    EXPECT_EQ(Run({"doc", "history", "1", "--json"}).Json().size(), 2u);
    Ok({"doc", "get", "1", "1.0", "old"});
    EXPECT_EQ(ReadFile(Path("old/bracket.prt")), "rev A\n");
    const auto log = Run({"log", "demo", "--doc", "1", "--json"}).Json();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2]["action"], "move");
    EXPECT_EQ(log[2]["path"], "frame/bracket.prt");
    EXPECT_EQ(RunAs("alice", {"doc", "rename", "1", "frame/x.prt"}).err,
              ErrorLine(49710,
                        "a new name has no folder: frame/x.prt; vault doc move puts a document "
                        "into another folder"));
    OkAs("bob", {"doc", "checkout", "1", "b"});
    EXPECT_EQ(RunAs("alice", {"doc", "move", "1", "x"}).err,
              ErrorLine(49712, "document frame/bracket.prt is checked out by bob"));
}

// The next main version vault repo show gives is one a check-in reaches.
TEST_F(VaultDocCli, ACheckinWithMainMakesTheNextMainVersion) {
    WriteFile("in/fork.prt", "fork\n");
    Ok({"doc", "add", "demo", "in/fork.prt"});
    const struct {
        const char* doc;
        bool main;
        const char* version;
        const char* repoNextMain;
    } rows[] = {{"1", false, "1.1", "2"},
                {"1", true, "2.0", "2"},
                {"1", true, "3.0", "3"},
                {"2", true, "3.0", "3"},
                {"2", false, "3.1", "4"}};
    int n = 0;
    for (const auto& r : rows) {
        const std::string dir = "w" + std::to_string(n++);
        OkAs("alice", {"doc", "checkout", r.doc, dir});
        const std::string file = dir + (r.doc == std::string("1") ? "/bracket.prt" : "/fork.prt");
        WriteFile(file, "change " + std::to_string(n));
        std::vector<std::string> args = {"doc", "checkin", r.doc, file, "-m", "m"};
        if (r.main) args.push_back("--main");
        OkAs("alice", args);
        EXPECT_EQ(Doc(r.doc)["version"], r.version) << n;
        EXPECT_EQ(Run({"repo", "show", "demo", "--json"}).Json()["next_main_version"],
                  r.repoNextMain)
            << n;
    }
}

}  // namespace zub::vault::test
