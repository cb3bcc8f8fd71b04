// Many files at once: doc add with folders and several paths, checkouts of a
// folder or a pattern; both keep the folder structure.
#include "vaultrunner.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

class VaultManyCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        InitStore();
        Ok({"repo", "create", "bike"});
        WriteFile("proj/车架/管.prt", "tube\n");
        WriteFile("proj/车架/notes.txt", "frame notes\n");
        WriteFile("proj/fork/notes.txt", "fork notes\n");
        WriteFile("proj/fork/blade.prt", "blade\n");
        WriteFile("proj/readme.txt", "read me\n");
    }

    std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        for (const auto& d : Run({"doc", "list", "bike", "--json"}).Json())
            paths.push_back(d["path"]);
        std::sort(paths.begin(), paths.end());
        return paths;
    }
};

TEST_F(VaultManyCli, AddKeepsTheFoldersBelowTheBase) {
    const struct {
        std::vector<std::string> args;  // after "doc add bike"
        std::vector<std::string> paths;
    } rows[] = {
        // One file keeps its folder: no more landing at the root.
        {{"proj/fork/blade.prt"}, {"proj/fork/blade.prt"}},
        {{"proj/fork/blade.prt", "--base", "proj"}, {"fork/blade.prt"}},
        {{"proj/fork/blade.prt", "--base", "proj/fork", "--folder", "a/b"}, {"a/b/blade.prt"}},
        // A file outside the base goes into --folder.
        {{"proj/readme.txt", "--base", "proj/fork"}, {"readme.txt"}},
        // Folders with everything below them, files beside them.
        {{"proj/车架", "proj/fork/blade.prt", "--base", "proj"},
         {"fork/blade.prt", "车架/notes.txt", "车架/管.prt"}},
        {{"proj", "--folder", "x"},
         {"x/proj/fork/blade.prt", "x/proj/fork/notes.txt", "x/proj/readme.txt",
          "x/proj/车架/notes.txt", "x/proj/车架/管.prt"}},
    };
    for (const auto& r : rows) {
        Ok({"repo", "delete", "bike"});
        Ok({"repo", "create", "bike"});
        std::vector<std::string> args = {"doc", "add", "bike"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        Ok(args);
        EXPECT_EQ(Paths(), r.paths) << r.args[0];
    }
}

TEST_F(VaultManyCli, AFailedFileIsNamedAndTheOthersStayAdded) {
    Ok({"doc", "add", "bike", "proj/车架/notes.txt", "--base", "proj"});
    WriteFile("proj/Makefile", "all:\n");
    const RunResult r = Run({"doc", "add", "bike", "proj", "--base", "proj", "--json"});
    EXPECT_EQ(r.code, 1);
    const auto out = r.Json();
    EXPECT_EQ(out["added"].size(), 4u);
    ASSERT_EQ(out["failed"].size(), 2u) << out;
    EXPECT_EQ(out["failed"][0]["file"], "proj/Makefile");
    EXPECT_EQ(out["failed"][0]["error"], 49710);
    EXPECT_EQ(out["failed"][1]["file"], "proj/车架/notes.txt");
    EXPECT_EQ(out["failed"][1]["error"], 49611);
    EXPECT_NE(r.err.find("(proj/车架/notes.txt)\n"), std::string::npos) << r.err;
    EXPECT_NE(
        r.err.find(ErrorLine(49730, "2 of 6 files were not added (named above); the other 4 were")),
        std::string::npos)
        << r.err;
    EXPECT_EQ(Paths().size(), 5u);
    const std::string text = Run({"doc", "add", "bike", "proj", "--base", "proj"}).out;
    EXPECT_NE(text.find("Added 0 of 6 files to repository bike"), std::string::npos) << text;
}

TEST_F(VaultManyCli, CheckoutsOfManyDocumentsKeepTheRepositorysFolders) {
    Ok({"doc", "add", "bike", "proj", "--base", "proj"});
    const struct {
        const char* selection;
        std::vector<std::string> files;  // below the working folder
    } rows[] = {
        {"bike:车架/", {"车架/notes.txt", "车架/管.prt"}},
        {"bike:*/notes.txt", {"fork/notes.txt", "车架/notes.txt"}},
        {"bike:*.txt", {"readme.txt"}},
        {"bike:",
         {"fork/blade.prt", "fork/notes.txt", "readme.txt", "车架/notes.txt", "车架/管.prt"}},
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string dir = "w" + std::to_string(++n);
        Ok({"doc", "checkout", r.selection, dir});
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(Path(dir)))
            if (e.is_regular_file())
                files.push_back(e.path().lexically_relative(Path(dir)).string());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, r.files) << r.selection;
        for (const auto& d : Run({"doc", "list", "bike", "--json"}).Json())
            if (d["checked_out"]) Ok({"doc", "unlock", std::to_string(d["id"].get<int>())});
    }
    EXPECT_EQ(ReadFile(Path("w2/fork/notes.txt")), "fork notes\n");
    // A baseline's documents: those it froze, not those added after it.
    Ok({"baseline", "create", "bike", "发布-1"});
    WriteFile("later/extra.prt", "later\n");
    Ok({"doc", "add", "bike", "later/extra.prt"});
    Ok({"doc", "checkout", "bike:", "wb", "--baseline", "发布-1"});
    EXPECT_TRUE(fs::exists(Path("wb/车架/管.prt")));
    EXPECT_TRUE(fs::exists(Path("wb/fork/notes.txt")));
    EXPECT_FALSE(fs::exists(Path("wb/later/extra.prt")));
    EXPECT_EQ(Run({"doc", "checkout", "1", "--baseline", "发布-1"}).code, 2);
    EXPECT_EQ(Run({"doc", "checkout", "bike:nothing/"}).err,
              ErrorLine(49707, "no document matches nothing/ in repository bike"));
}

// A check-out holds the current version, so a baseline's documents are checked
// out only while they still are as the baseline froze them.
TEST_F(VaultManyCli, ABaselinesCheckoutRefusesDocumentsChangedSinceAndFetchesNoNewerFile) {
    Ok({"doc", "add", "bike", "proj", "--base", "proj"});
    Ok({"baseline", "create", "bike", "发布-1"});
    const std::string fork =
        Run({"doc", "show", "bike:fork/notes.txt", "--json"}).Json()["id"].dump();
    Ok({"doc", "checkout", fork, "edit"});
    WriteFile("edit/fork/notes.txt", "fork notes v2\n");
    Ok({"doc", "checkin", fork, "edit/fork/notes.txt", "-m", "after the release"});
    const RunResult r = Run({"doc", "checkout", "bike:", "wb", "--baseline", "发布-1", "--json"});
    EXPECT_EQ(r.code, 1) << r.err;
    const auto out = r.Json();
    ASSERT_EQ(out["failed"].size(), 1u) << out;
    EXPECT_EQ(out["failed"][0]["path"], "fork/notes.txt");
    EXPECT_EQ(out["failed"][0]["error"], 49721);
    EXPECT_NE(r.err.find("document fork/notes.txt has changed since baseline 发布-1 (now version"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("vault baseline download bike 发布-1"), std::string::npos) << r.err;
    const struct {
        const char* file;     // below wb
        const char* content;  // empty: not fetched
    } rows[] = {
        {"fork/notes.txt", ""},  // today's version would be "fork notes v2"
        {"fork/blade.prt", "blade\n"},
        {"车架/notes.txt", "frame notes\n"},
        {"readme.txt", "read me\n"},
    };
    for (const auto& row : rows) {
        const fs::path file = Path("wb") / row.file;
        if (*row.content == 0) {
            EXPECT_FALSE(fs::exists(file)) << row.file;
        } else {
            EXPECT_EQ(ReadFile(file), row.content) << row.file;
        }
    }
    // The refused document is not held; the others are.
    for (const auto& d : Run({"doc", "list", "bike", "--json"}).Json())
        EXPECT_EQ(d["checked_out"].get<bool>(), d["path"] != "fork/notes.txt") << d;
    // The baseline's own files are the way to its content.
    Ok({"baseline", "download", "bike", "发布-1", "rel"});
    EXPECT_EQ(ReadFile(Path("rel/fork/notes.txt")), "fork notes\n");
}

}  // namespace zub::vault::test
