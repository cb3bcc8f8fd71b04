// Logins against the root's kept password, the root's login file out of
// reach, listings, and the temporaries that dead transfers leave behind.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "backendfixture.h"
#include "vaultfs/localbackend.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/rootpassword.h"

namespace zub::vaultfs::test {

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Error = std::pair<long, std::wstring>;

class LoginTest : public BackendFixture {
protected:
    void Protect() { NFS::RootPassword::Write(root, L"system", L"s3cret"); }
    int Mk() { return cmd->mk(server, 0, L"D:\\r", false); }
};

TEST_F(LoginTest, KeptPasswordDecidesEveryLaterOperation) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::wstring, std::wstring>> logins;  // in order
        long mk;  // status of the operation after them
        std::wstring text;
    };
    const std::vector<Case> cases = {
        {"no login", {}, NFS::NFS_E_LOGIN, L"mk: the server needs a login first"},
        {"right password", {{L"system", L"s3cret"}}, 0, L""},
        {"wrong password",
         {{L"system", L"guess"}},
         NFS::NFS_E_LOGIN,
         L"mk: the server refused the login of \"system\""},
        {"wrong user",
         {{L"admin", L"s3cret"}},
         NFS::NFS_E_LOGIN,
         L"mk: the server refused the login of \"admin\""},
        {"refused after accepted",
         {{L"system", L"s3cret"}, {L"system", L""}},
         NFS::NFS_E_LOGIN,
         L"mk: the server refused the login of \"system\""},
        {"accepted after refused", {{L"system", L"x"}, {L"system", L"s3cret"}}, 0, L""},
    };
    Protect();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh backend per case: they are kept per server and port.
        const auto port = static_cast<unsigned short>(100 + (&c - cases.data()));
        for (const auto& [user, password] : c.logins)
            EXPECT_EQ(cmd->logIn(server, port, L"", user, password), 0);  // never reported here
        EXPECT_EQ(cmd->mk(server, port, L"D:\\r", false), c.mk);
        if (c.mk != 0) {
            EXPECT_EQ(LastError(), Error(c.mk, c.text));
            EXPECT_FALSE(fs::exists(root / "D/r"));
        } else {
            EXPECT_TRUE(fs::is_directory(root / "D/r"));
            fs::remove_all(root / "D");
        }
    }
}

TEST_F(LoginTest, EveryOperationNeedsTheLogin) {
    Protect();
    tree.Write("root/D/a.txt", "a");
    tree.Write("local/b.txt", "b");
    cmd->logIn(server, 0, L"", L"system", L"nope");
    std::vector<NFS::NfsEntry> entries;
    std::vector<NFS::NfsDebris> debris;
    const std::vector<std::pair<const char*, std::function<int()>>> ops = {
        {"mk", [&] { return cmd->mk(server, 0, L"D:\\x", false); }},
        {"rm", [&] { return cmd->rm(server, 0, L"D:\\"); }},
        {"delFile", [&] { return cmd->delFile(server, 0, L"D:\\a.txt"); }},
        {"upload",
         [&] { return cmd->upload(server, 0, Local("local/b.txt"), L"D:\\b", count, false); }},
        {"download",
         [&] { return cmd->download(server, 0, L"D:\\a.txt", Local("out"), L"a", count, false); }},
        {"downLoadFolder",
         [&] { return cmd->downLoadFolder(server, 0, L"D:\\", Local("out"), count, false); }},
        {"copy", [&] { return cmd->copy(server, 0, L"D:\\a.txt", L"D:\\c.txt"); }},
        {"copyFolder", [&] { return cmd->copyFolder(server, 0, L"D:\\", L"E:\\"); }},
        {"renameFile", [&] { return cmd->renameFile(server, 0, L"D:\\a.txt", L"D:\\z.txt"); }},
        {"renameFolder", [&] { return cmd->renameFolder(server, 0, L"D:\\", L"E:\\"); }},
        {"listFolder", [&] { return cmd->listFolder(server, 0, L"D:\\", entries); }},
        {"listDebris", [&] { return cmd->listDebris(server, 0, L"", debris); }},
        {"removeDebris", [&] { return cmd->removeDebris(server, 0, L"", debris); }},
    };
    for (const auto& [name, op] : ops) {
        SCOPED_TRACE(name);
        EXPECT_EQ(op(), NFS::NFS_E_LOGIN);
    }
    EXPECT_EQ(tree.List("root"), (Strings{".vaultfs-login", "D/", "D/a.txt"}));
    EXPECT_FALSE(fs::exists(tree / "out"));
}

TEST_F(LoginTest, RootWithoutPasswordServesEveryone) {
    EXPECT_EQ(Mk(), 0);  // no login at all
    EXPECT_EQ(cmd->logIn(server, 0, L"", L"anyone", L"anything"), 0);
    EXPECT_EQ(cmd->mk(server, 0, L"D:\\s", false), 0);
}

TEST_F(LoginTest, DamagedLoginFileOpensNothing) {
    tree.Write("root/.vaultfs-login", "system no-hash-here\n");
    cmd->logIn(server, 0, L"", L"system", L"no-hash-here");
    EXPECT_EQ(Mk(), NFS::NFS_E_LOGIN);
}

TEST_F(LoginTest, FileKeepsASaltedHashOnlyAndOnlyForItsOwner) {
    Protect();
    const std::string kept = tree.Read("root/.vaultfs-login");
    EXPECT_EQ(kept.find("s3cret"), std::string::npos);
    EXPECT_EQ(kept.rfind("system\t$6$", 0), 0u) << kept;
    EXPECT_EQ(fs::status(root / ".vaultfs-login").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // Salted: the same password hashes differently each time.
    Protect();
    EXPECT_NE(tree.Read("root/.vaultfs-login"), kept);
    EXPECT_TRUE(NFS::RootPassword::Read(root)->Accepts(L"system", L"s3cret"));
}

TEST_F(LoginTest, LoginFileIsNoServerPath) {
    Protect();
    tree.Write("local/evil", "system\t$6$x$y\n");
    cmd->logIn(server, 0, L"", L"system", L"s3cret");
    const std::string kept = tree.Read("root/.vaultfs-login");
    for (const std::wstring path :
         {L".vaultfs-login", L"\\.vaultfs-login", L"/./.vaultfs-login", L"\\\\.vaultfs-login"}) {
        SCOPED_TRACE(Wide(fs::path(path)));
        EXPECT_EQ(cmd->upload(server, 0, Local("local/evil"), path, count, false),
                  NFS::NFS_E_INVALID);
        EXPECT_EQ(cmd->delFile(server, 0, path), NFS::NFS_E_INVALID);
        EXPECT_EQ(cmd->download(server, 0, path, Local("out"), L"stolen", count, false),
                  NFS::NFS_E_INVALID);
        EXPECT_EQ(cmd->renameFile(server, 0, path, L"open"), NFS::NFS_E_INVALID);
    }
    EXPECT_EQ(tree.Read("root/.vaultfs-login"), kept);
    EXPECT_FALSE(fs::exists(tree / "out/stolen"));
    // A deeper entry of that name is an ordinary file.
    EXPECT_EQ(cmd->upload(server, 0, Local("local/evil"), L"D:\\.vaultfs-login", count, false), 0);
}

// ---- listing ----------------------------------------------------------------

class ListTest : public BackendFixture {};

TEST_F(ListTest, ListsDepthFirstInNameOrderWithoutTemporaries) {
    tree.Write("root/R/trunk/b.prt", "bb");
    tree.Write("root/R/trunk/a/x.prt", "xxx");
    tree.Write("root/R/trunk/.b.prt.vfs-0123456789", "partial");
    tree.Write("root/R/trunk/c.prt", "c");
    std::vector<NFS::NfsEntry> entries;
    ASSERT_EQ(cmd->listFolder(server, 0, L"R\\trunk", entries), 0);
    std::vector<std::tuple<std::wstring, std::uint64_t, bool>> got;
    for (const auto& e : entries) got.emplace_back(e.path, e.bytes, e.folder);
    EXPECT_EQ(
        got,
        (std::vector<std::tuple<std::wstring, std::uint64_t, bool>>{
            {L"a", 0, true}, {L"a\\x.prt", 3, false}, {L"b.prt", 2, false}, {L"c.prt", 1, false}}));
    EXPECT_EQ(cmd->listFolder(server, 0, L"R\\nope", entries), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(cmd->listFolder(server, 0, L"R\\trunk\\b.prt", entries), NFS::NFS_E_WRONG_KIND);
}

// ---- debris -----------------------------------------------------------------

class DebrisTest : public BackendFixture {
protected:
    std::vector<std::wstring> Paths(const std::vector<NFS::NfsDebris>& debris) {
        std::vector<std::wstring> paths;
        for (const auto& d : debris) paths.push_back(d.path);
        std::sort(paths.begin(), paths.end());
        return paths;
    }
};

TEST_F(DebrisTest, AbandonedTemporariesAreListedAndRemovedOthersStay) {
    tree.Write("root/R/trunk/.a.prt.vfs-0123456789", "12345");       // dead upload
    tree.Write("root/R/baseline/.b1.vfs-abcdefghij/trunk/x", "xx");  // dead folder copy
    tree.Write("root/R/baseline/.b1.vfs-abcdefghij/trunk/y", "yyy");
    tree.Write("root/R/trunk/.held.vfs-zzzzzzzzzz", "in use");  // a live transfer's
    tree.Write("root/R/trunk/a.prt", "user data");
    tree.Write("root/R/trunk/.a.prt.vfs-short", "not ours");
    tree.Write("root/R/trunk/a.prt.vfs-0123456789", "not ours");
    tree.Write("root/R/trunk/.a.prt.vfs-ABCDEFGHIJ", "not ours");
    const int held = ::open((root / "R/trunk/.held.vfs-zzzzzzzzzz").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    std::vector<NFS::NfsDebris> found;
    ASSERT_EQ(cmd->listDebris(server, 0, L"", found), 0);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    ASSERT_EQ(Paths(found), (std::vector<std::wstring>{L"R\\baseline\\.b1.vfs-abcdefghij",
                                                       L"R\\trunk\\.a.prt.vfs-0123456789"}));
    EXPECT_TRUE(found[0].folder);
    EXPECT_EQ(found[0].bytes, 5u);  // the whole tree
    EXPECT_FALSE(found[1].folder);
    EXPECT_EQ(found[1].bytes, 5u);
    EXPECT_TRUE(fs::exists(root / "R/trunk/.a.prt.vfs-0123456789"));  // listing removes nothing

    // Below a folder, paths keep the folder's spelling.
    ASSERT_EQ(cmd->listDebris(server, 0, L"R\\trunk", found), 0);
    EXPECT_EQ(Paths(found), (std::vector<std::wstring>{L"R\\trunk\\.a.prt.vfs-0123456789"}));

    ASSERT_EQ(cmd->removeDebris(server, 0, L"", found), 0);
    EXPECT_EQ(found.size(), 2u);
    EXPECT_EQ(tree.List("root/R"), (Strings{"baseline/", "trunk/", "trunk/.a.prt.vfs-ABCDEFGHIJ",
                                            "trunk/.a.prt.vfs-short", "trunk/.held.vfs-zzzzzzzzzz",
                                            "trunk/a.prt", "trunk/a.prt.vfs-0123456789"}));
    ::close(held);
    // Released: now it is debris too.
    ASSERT_EQ(cmd->removeDebris(server, 0, L"R", found), 0);
    EXPECT_EQ(Paths(found), (std::vector<std::wstring>{L"R\\trunk\\.held.vfs-zzzzzzzzzz"}));
}

TEST_F(DebrisTest, RunningTransferIsNeverDebrisAndADeadOneIs) {
    tree.Write("root/R/keep", "k");
    fs::create_directories(tree / "local");
    WritePattern(tree / "local/big", 256 * 1024);
    std::vector<NFS::NfsDebris> seen;
    int seenStatus = -1;
    NFS::LocalBackend backend(root, {4096, false});
    bool asked = false;
    backend.upload(Local("local/big"), L"R\\big", [&](std::uint64_t done, std::uint64_t) {
        if (asked || done < 8192) return;
        asked = true;
        seenStatus = cmd->removeDebris(server, 0, L"", seen);
    });
    EXPECT_TRUE(asked);
    EXPECT_EQ(seenStatus, 0);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(Checksum(root / "R/big"), Checksum(tree / "local/big"));

    // A writer that dies mid-file leaves its temporary unlocked.
    RunInChild([&] {
        NFS::LocalBackend child(root, {4096, false});
        child.upload(Local("local/big"), L"R\\dead", [](std::uint64_t done, std::uint64_t) {
            if (done >= 8192) ::_exit(0);
        });
        return std::string("not killed");
    });
    ASSERT_EQ(cmd->listDebris(server, 0, L"R", seen), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].path.rfind(L"R\\.dead.vfs-", 0), 0u) << Wide(seen[0].path);
    EXPECT_GE(seen[0].bytes, 8192u);
    EXPECT_FALSE(fs::exists(root / "R/dead"));
}

TEST_F(DebrisTest, CleanerRacingWritersNeverCostsThemAFile) {
    tree.Write("local/f", std::string(10000, 'f'));
    std::atomic<bool> stop{false};
    std::atomic<int> sweeps{0};
    std::thread cleaner([&] {
        std::vector<NFS::NfsDebris> removed;
        while (!stop) {
            // It may catch a temporary between its creation and its lock; the
            // writer then draws another name.
            EXPECT_EQ(cmd->removeDebris(server, 0, L"", removed), 0);
            ++sweeps;
        }
    });
    int failed = 0;
    for (int i = 0; i < 150 && failed == 0; ++i) {
        const std::wstring target = L"R\\f" + std::to_wstring(i % 3);
        if (cmd->upload(server, 0, Local("local/f"), target, count, false) != 0 || count != 10000u)
            failed = i + 1;
    }
    stop = true;
    cleaner.join();
    EXPECT_EQ(failed, 0) << "upload " << failed << ": " << Wide(fs::path(LastError().second));
    EXPECT_GT(sweeps.load(), 0);
    EXPECT_EQ(tree.List("root/R"), (Strings{"f0", "f1", "f2"}));
}

TEST_F(DebrisTest, DownloadedCopyIsWholeOrAbsent) {
    tree.Write("root/R/a.prt", "server copy");
    tree.Write("work/a.prt", "old local");
    ASSERT_EQ(cmd->download(server, 0, L"R\\a.prt", Local("work"), L"a.prt", count, false), 0);
    EXPECT_EQ(tree.Read("work/a.prt"), "server copy");
    EXPECT_EQ(tree.List("work"), (Strings{"a.prt"}));
}

}  // namespace

}  // namespace zub::vaultfs::test
