// vault doc add|list|show|checkout|checkin|view|get|history|rename|delete.
#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvsvrinfo.h"
#include "vaultrunner.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"

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
    EXPECT_EQ(Run({"doc", "show", "77"}).err, ErrorLine(49501, "文档号 77 不存在"));
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

    const auto history = Run({"doc", "history", "1", "--json"}).Json();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0]["revision"], 2);
    EXPECT_EQ(history[0]["version"], "1.1");
    EXPECT_EQ(history[0]["replaced_by"], "1.2");
    EXPECT_EQ(history[0]["user"], "bob");
    EXPECT_EQ(history[0]["message"], "third revision");
    EXPECT_EQ(history[1]["revision"], 1);
    EXPECT_EQ(history[1]["version"], "1.0");
    EXPECT_EQ(history[1]["replaced_by"], "1.1");
    EXPECT_EQ(history[1]["user"], "alice");
    EXPECT_TRUE(history[1]["time"].is_string());

    const std::string text = Ok({"doc", "log", "1"});
    EXPECT_EQ(text.substr(0, text.find('\n')), "bracket.prt (document 1), current version 1.2:");
    EXPECT_NE(text.find("  1  1.0      1.1"), std::string::npos) << text;
}

TEST_F(VaultDocCli, ADocumentWithoutCheckinsHasAnEmptyHistory) {
    EXPECT_EQ(Run({"doc", "history", "1", "--json"}).Json(), nlohmann::json::array());
    EXPECT_NE(Ok({"doc", "history", "1"}).find("(no saved versions yet)"), std::string::npos);
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
    EXPECT_EQ(Run({"doc", "show", "1"}).err, ErrorLine(49501, "文档号 1 不存在"));
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

    vaultschema::ProductStore::Register();
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
    EXPECT_EQ(Run({"doc", "show", "1"}).err, ErrorLine(49501, "文档号 1 不存在"));
    EXPECT_FALSE(fs::exists(store_ / "files/repos/demo/trunk/bracket.prt"));
    EXPECT_TRUE(fs::exists(store_ / "files/repos/demo/history/1_1.0.prt"));
    EXPECT_EQ(Run({"doc", "list", "demo", "--json"}).Json().size(), 0u);
}
