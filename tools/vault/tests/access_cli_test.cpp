// Who may read a store: its owner only, or one group; never other accounts,
// whatever the umask of the processes writing in it.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "vaultrunner.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string path;
    mode_t mode;
    gid_t gid;
    bool folder;
};

std::vector<Entry> Walk(const fs::path& store) {
    std::vector<Entry> all;
    auto add = [&](const fs::path& p) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
            all.push_back({p.string(), st.st_mode & 07777, st.st_gid, S_ISDIR(st.st_mode)});
    };
    add(store);
    for (const auto& e : fs::recursive_directory_iterator(store)) add(e.path());
    return all;
}

// A repository's stored files are never written again: no write permission.
mode_t FileMode(const Entry& e, mode_t writable) {
    return e.path.find("/files/repos/") != std::string::npos ? writable & ~mode_t{0222} : writable;
}

// The test process's umask, handed to every vault it starts.
class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

}  // namespace

class VaultAccessCli : public VaultCli {
protected:
    // Every kind of stored file: databases with their journals, current,
    // history and baseline files, the file server's password.
    void FillStore() {
        Ok({"user", "add", "alice"});
        Ok({"repo", "create", "demo"});
        WriteFile("in/part.prt", "rev A\n");
        Ok({"doc", "add", "demo", "in/part.prt", "--base", "in", "--folder", "sub/deeper"});
        Ok({"doc", "checkout", "1", "w"});
        WriteFile("w/part.prt", "rev B\n");
        Ok({"doc", "checkin", "1", "w/part.prt", "-m", "b"});
        Ok({"baseline", "create", "demo", "rel1"});
    }
};

TEST_F(VaultAccessCli, ANewStoreIsPrivateToItsOwnerWhateverTheUmask) {
    const Umask open(0);
    InitStore();
    FillStore();
    std::size_t files = 0;
    for (const auto& e : Walk(store_)) {
        EXPECT_EQ(e.mode, e.folder ? 0700u : FileMode(e, 0600))
            << e.path << " " << std::oct << e.mode;
        files += !e.folder;
    }
    EXPECT_GE(files, 6u);
    EXPECT_EQ(Run({"verify"}).code, 0);
}

TEST_F(VaultAccessCli, AGroupStoreIsSharedWithItsGroupOnly) {
    const Umask open(0);
    const gid_t gid = ::getgid();
    const struct group* g = ::getgrgid(gid);
    ASSERT_NE(g, nullptr);
    Ok({"init", "--group", g->gr_name});
    FillStore();
    for (const auto& e : Walk(store_)) {
        EXPECT_EQ(e.mode, e.folder ? 02770u : FileMode(e, 0660))
            << e.path << " " << std::oct << e.mode;
        EXPECT_EQ(e.gid, gid) << e.path;
    }
    EXPECT_EQ(Run({"init", ws_.string() + "/x", "--group", "no-such-group-here"}).err,
              ErrorLine(49718, "no group named no-such-group-here"));
}

TEST_F(VaultAccessCli, VerifyReportsAndRepairsLooserModes) {
    InitStore();
    FillStore();
    // A saved version: the current file is the baseline's too, and a mode
    // is the file's, whichever of its names is changed.
    fs::path saved;
    for (const auto& e : fs::directory_iterator(store_ / "files/repos/demo/history"))
        if (e.is_regular_file()) saved = e.path();
    ASSERT_FALSE(saved.empty());
    const struct {
        fs::path path;
        mode_t loose;
        mode_t repaired;
    } rows[] = {
        {saved, 0444, 0400},
        {store_ / "QVSystem.sqlite3", 0604, 0600},
        {store_ / "files/repos/demo/history", 0755, 0700},
        {store_, 0711, 0700},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path.string());
        ASSERT_EQ(::chmod(r.path.c_str(), r.loose), 0);
        const RunResult found = Run({"verify", "--json"});
        EXPECT_EQ(found.code, 1);
        const auto findings = found.Json();
        ASSERT_EQ(findings.size(), 1u) << found.out;
        EXPECT_EQ(findings[0]["kind"], "mode");
        EXPECT_NE(findings[0]["text"].get<std::string>().find(r.path.string()), std::string::npos)
            << findings[0]["text"];
        EXPECT_EQ(Run({"verify", "--repair"}).code, 0);
        struct stat st {};
        ASSERT_EQ(::stat(r.path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, r.repaired);
        EXPECT_EQ(Run({"verify"}).code, 0);
    }
}

// Stored files are never written again, and baselines share them: one that
// can be written is reported, and repair takes the permission away.
TEST_F(VaultAccessCli, VerifyReportsAndRepairsWritableStoredFiles) {
    InitStore();
    FillStore();
    const fs::path frozen = store_ / "files/repos/demo/baseline/rel1/sub/deeper/part.prt";
    struct stat st {};
    ASSERT_EQ(::stat(frozen.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0400u);
    ASSERT_EQ(::chmod(frozen.c_str(), 0600), 0);
    const RunResult found = Run({"verify", "--json"});
    EXPECT_EQ(found.code, 1);
    const auto findings = found.Json();
    // The file has two names: the baseline's and the trunk's.
    ASSERT_EQ(findings.size(), 2u) << found.out;
    EXPECT_EQ(findings[0]["kind"], "stored-writable");
    EXPECT_EQ(findings[1]["kind"], "stored-writable");
    EXPECT_EQ(findings[0]["path"], "\\repos\\demo\\baseline\\rel1\\sub\\deeper\\part.prt");
    EXPECT_EQ(findings[1]["path"], "\\repos\\demo\\trunk\\sub\\deeper\\part.prt");
    const RunResult repaired = Run({"verify", "--repair", "--json"});
    EXPECT_EQ(repaired.code, 0) << repaired.out;
    ASSERT_EQ(::stat(frozen.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0400u);
    EXPECT_EQ(Run({"verify"}).code, 0);
}

}  // namespace zub::vault::test
