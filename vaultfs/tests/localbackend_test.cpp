// Every operation of the local-folder backend, through the command object.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "backendfixture.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/rootpassword.h"

namespace zub::vaultfs::test {

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Error = std::pair<long, std::wstring>;

// What only a local folder has: links, pipes, modes, holds.
class LocalBackendTest : public BackendFixture {};
// What every backend does alike.
class BackendContract : public ContractFixture {};
INSTANTIATE_TEST_SUITE_P(Backends, BackendContract,
                         ::testing::Values(Backend::Local, Backend::WebDav, Backend::Nginx),
                         BackendName);

// ---- mk, rm, delFile --------------------------------------------------------

TEST_P(BackendContract, MkCreatesParentsUnderTheDriveFolder) {
    ASSERT_EQ(cmd->mk(server, 0, L"D:\\repo1\\trunk", false), 0);
    EXPECT_TRUE(fs::is_directory(root / "D/repo1/trunk"));
    // Another spelling of the same folder, and an existing folder, succeed.
    EXPECT_EQ(cmd->mk(server, 0, L"d:/repo1/trunk/", false), 0);
    EXPECT_EQ(cmd->mk(server, 0, L"D:\\repo1", false), 0);
    EXPECT_EQ(tree.List("root"), (Strings{"D/", "D/repo1/", "D/repo1/trunk/"}));
}

TEST_P(BackendContract, MkOnAFileOrTheRootFails) {
    tree.Write("root/D/f", "x");
    EXPECT_EQ(cmd->mk(server, 0, L"D:\\f", false), NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_WRONG_KIND, L"mk: the path \"D:\\f\" exists and is not a folder"));
    EXPECT_EQ(cmd->mk(server, 0, L"", false), NFS::NFS_E_INVALID);
    EXPECT_EQ(tree.Read("root/D/f"), "x");
}

TEST_P(BackendContract, RmRemovesAFolderWithItsContent) {
    tree.Write("root/D/repo/trunk/a.txt", "a");
    tree.Write("root/D/repo/history/1_1.txt", "h");
    tree.Write("root/D/keep.txt", "k");
    ASSERT_EQ(cmd->rm(server, 0, L"D:\\repo"), 0);
    EXPECT_EQ(tree.List("root"), (Strings{"D/", "D/keep.txt"}));
}

TEST_P(BackendContract, RmFailures) {
    tree.Write("root/D/file.txt", "f");
    EXPECT_EQ(cmd->rm(server, 0, L"D:\\nope"), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_NOT_FOUND, L"rm: the folder \"D:\\nope\" does not exist"));
    EXPECT_EQ(cmd->rm(server, 0, L"D:\\file.txt"), NFS::NFS_E_WRONG_KIND);
    // The whole root can never be removed through an empty or bare path.
    EXPECT_EQ(cmd->rm(server, 0, L"\\"), NFS::NFS_E_INVALID);
    EXPECT_EQ(cmd->rm(server, 0, L""), NFS::NFS_E_INVALID);
    EXPECT_EQ(tree.List("root"), (Strings{"D/", "D/file.txt"}));
}

// A work folder's file is written in place: never over another file, and
// nothing of a failed transfer stays.
TEST_F(LocalBackendTest, UploadWorkMakesOnlyANewWholeFile) {
    tree.Write("local/a.prt", "model data");
    struct Case {
        const char* name;
        const char* local;
        const char* before;  // at the target, or null
        const wchar_t* expect;
        long rc;
        const char* after;  // at the target, or null
    };
    const std::wstring wrongSum(64, L'0');
    const Case cases[] = {
        {"a new file", "local/a.prt", nullptr, L"", 0, "model data"},
        {"over an existing file", "local/a.prt", "old", L"", NFS::NFS_E_EXISTS, "old"},
        {"bytes that are not the expected ones", "local/a.prt", nullptr, wrongSum.c_str(),
         NFS::NFS_E_CONTENT, nullptr},
        {"a missing local file", "local/none.prt", nullptr, L"", NFS::NFS_E_NOT_FOUND, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root / "D");
        ASSERT_EQ(cmd->mkWork(server, 0, L"D:\\work"), 0);
        if (c.before != nullptr) tree.Write("root/D/work/content", c.before);
        NFS::ContentSum sum;
        sum.expect = c.expect;
        EXPECT_EQ(cmd->uploadWork(server, 0, Local(c.local), L"D:\\work\\content", count, sum),
                  c.rc);
        if (c.after == nullptr) {
            EXPECT_EQ(tree.List("root/D/work"), Strings{});
            continue;
        }
        EXPECT_EQ(tree.List("root/D/work"), Strings{"content"});
        EXPECT_EQ(tree.Read("root/D/work/content"), c.after);
        if (c.rc != 0) continue;
        EXPECT_EQ(count, 10u);
        std::wstring stored;
        std::uint64_t bytes = 0;
        ASSERT_EQ(cmd->checksum(server, 0, L"D:\\work\\content", stored, bytes), 0);
        EXPECT_EQ(sum.sha256, stored);
        EXPECT_EQ(sum.bytes, 10);
    }
}

// ---- hold ----------------------------------------------------------------------

TEST_P(BackendContract, AHoldIsExclusiveUntilLetGoAndNeedsTheEntry) {
    tree.Write("root/D/stage/content", "c");
    std::unique_ptr<NFS::NfsHold> first;
    ASSERT_EQ(cmd->hold(server, 0, L"D:\\stage", first), 0);
    ASSERT_TRUE(first);
    std::unique_ptr<NFS::NfsHold> second;
    EXPECT_EQ(cmd->hold(server, 0, L"D:\\stage", second), 0);
    EXPECT_FALSE(second);  // kept by the first
    // A file holds alike, apart from its folder.
    EXPECT_EQ(cmd->hold(server, 0, L"D:\\stage\\content", second), 0);
    EXPECT_TRUE(second);
    first.reset();
    EXPECT_EQ(cmd->hold(server, 0, L"D:\\stage", first), 0);
    EXPECT_TRUE(first);

    std::unique_ptr<NFS::NfsHold> none;
    EXPECT_EQ(cmd->hold(server, 0, L"D:\\gone", none), NFS::NFS_E_NOT_FOUND);
    EXPECT_FALSE(none);
    // The holder still writes where it holds.
    tree.Write("local/a", "a");
    EXPECT_EQ(cmd->upload(server, 0, Local("local/a"), L"D:\\stage\\new", count, false), 0);
    EXPECT_EQ(cmd->rm(server, 0, L"D:\\stage"), 0);
    EXPECT_TRUE(NFS::CNFS_Cmd::IsTemporaryName(L".a.vfs-0123456789"));
    EXPECT_FALSE(NFS::CNFS_Cmd::IsTemporaryName(L".a.vfs-0123456789.prt"));
}

TEST_P(BackendContract, DelFileDeletesOnlyFiles) {
    tree.Write("root/D/trunk/a.txt", "a");
    tree.Write("root/D/trunk/b.txt", "b");
    ASSERT_EQ(cmd->delFile(server, 0, L"D:\\trunk\\a.txt"), 0);
    EXPECT_EQ(tree.List("root/D"), (Strings{"trunk/", "trunk/b.txt"}));

    EXPECT_EQ(cmd->delFile(server, 0, L"D:\\trunk\\a.txt"), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_NOT_FOUND,
                                 L"delFile: the file \"D:\\trunk\\a.txt\" does not exist"));
    EXPECT_EQ(cmd->delFile(server, 0, L"D:\\trunk"), NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_WRONG_KIND,
                                 L"delFile: the path \"D:\\trunk\" is a folder, not a file"));
    EXPECT_EQ(tree.List("root/D"), (Strings{"trunk/", "trunk/b.txt"}));
}

// ---- upload -----------------------------------------------------------------

TEST_P(BackendContract, UploadCreatesMissingFoldersAndCountsBytes) {
    tree.Write("local/a.prt", "model data");
    ASSERT_EQ(
        cmd->upload(server, 0, Local("local/a.prt"), L"D:\\repo\\trunk\\sub\\a.prt", count, false),
        0);
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(tree.List("root"), (Strings{"D/", "D/repo/", "D/repo/trunk/", "D/repo/trunk/sub/",
                                          "D/repo/trunk/sub/a.prt"}));
    EXPECT_EQ(tree.Read("root/D/repo/trunk/sub/a.prt"), "model data");
}

TEST_P(BackendContract, UploadReplacesAndKeepsNoTemporary) {
    tree.Write("root/D/trunk/a.prt", "old content that is longer");
    tree.Write("local/a.prt", "new");
    ASSERT_EQ(cmd->upload(server, 0, Local("local/a.prt"), L"D:\\trunk\\a.prt", count, false), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(tree.Read("root/D/trunk/a.prt"), "new");
    EXPECT_EQ(tree.List("root/D/trunk"), (Strings{"a.prt"}));
}

TEST_P(BackendContract, UploadOfAnEmptyFile) {
    tree.Write("local/empty", "");
    count = 99;
    ASSERT_EQ(cmd->upload(server, 0, Local("local/empty"), L"D:\\empty", count, false), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(tree.List("root/D"), (Strings{"empty"}));
    EXPECT_EQ(tree.Read("root/D/empty"), "");
}

TEST_P(BackendContract, UploadOfAMissingLocalFileLeavesTheTarget) {
    tree.Write("root/D/trunk/a.prt", "kept");
    count = 5;
    const std::wstring local = Local("local/none.prt");
    EXPECT_EQ(cmd->upload(server, 0, local, L"D:\\trunk\\a.prt", count, false),
              NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_NOT_FOUND,
                                 L"upload: the local file \"" + local + L"\" does not exist"));
    EXPECT_EQ(tree.List("root/D"), (Strings{"trunk/", "trunk/a.prt"}));
    EXPECT_EQ(tree.Read("root/D/trunk/a.prt"), "kept");
}

TEST_P(BackendContract, UploadRefusesFoldersAndPipes) {
    fs::create_directories(tree / "local/dir");
    tree.Write("local/a", "a");
    fs::create_directories(root / "D/target");
    ASSERT_EQ(::mkfifo((tree / "local/pipe").c_str(), 0600), 0);

    EXPECT_EQ(cmd->upload(server, 0, Local("local/dir"), L"D:\\x", count, false),
              NFS::NFS_E_WRONG_KIND);
    // A pipe without a writer must not block the call.
    EXPECT_EQ(cmd->upload(server, 0, Local("local/pipe"), L"D:\\x", count, false),
              NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(cmd->upload(server, 0, Local("local/a"), L"D:\\target", count, false),
              NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_WRONG_KIND,
                                 L"upload: the target \"D:\\target\" is a folder, not a file"));
    EXPECT_EQ(tree.List("root"), (Strings{"D/", "D/target/"}));
}

TEST_P(BackendContract, NamesUsersGiveArriveAsTheyAre) {
    tree.Write("local/a", "a");
    for (const std::string name : {"中文 图纸.prt", "a#1?.prt", "100%.prt", "a+b;c=d&e'f\"g"}) {
        SCOPED_TRACE(name);
        const std::wstring remote = L"D:\\仓库 1\\" + Wide(name);
        ASSERT_EQ(cmd->upload(server, 0, Local("local/a"), remote, count, false), 0)
            << LastError().second;
        EXPECT_EQ(tree.Read(fs::path("root/D/仓库 1") / name), "a");
        ASSERT_EQ(cmd->download(server, 0, remote, Local("out"), Wide(name), count, false), 0);
        EXPECT_EQ(tree.Read(fs::path("out") / name), "a");
        ASSERT_EQ(cmd->copy(server, 0, remote, remote + L".copy"), 0);
        EXPECT_EQ(tree.Read(fs::path("root/D/仓库 1") / (name + ".copy")), "a");
    }
    std::vector<NFS::NfsEntry> entries;
    ASSERT_EQ(cmd->listFolder(server, 0, L"D:\\仓库 1", entries), 0);
    EXPECT_EQ(entries.size(), 8u);
}

// verify ages leftovers by these times, local or remote.
TEST_P(BackendContract, ListedEntriesCarryTheirLastWriteTime) {
    tree.Write("root/D/old/a.prt", "a");
    tree.Write("root/D/new.prt", "n");
    const auto now = fs::file_time_type::clock::now();
    const struct {
        const char* path;
        std::chrono::seconds age;
    } cases[] = {{"old/a.prt", std::chrono::hours(30)},
                 {"old", std::chrono::hours(2)},
                 {"new.prt", std::chrono::seconds(0)}};
    for (const auto& c : cases)
        fs::last_write_time(root / "D" / c.path,
                            std::chrono::floor<std::chrono::seconds>(now - c.age));
    std::vector<NFS::NfsEntry> entries;
    ASSERT_EQ(cmd->listFolder(server, 0, L"D", entries), 0) << LastError().second;
    ASSERT_EQ(entries.size(), 3u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::wstring path = Wide(c.path);
        std::replace(path.begin(), path.end(), L'/', L'\\');
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [&](const NFS::NfsEntry& e) { return e.path == path; });
        ASSERT_NE(entry, entries.end());
        const auto written =
            std::chrono::duration_cast<std::chrono::seconds>(
                std::chrono::file_clock::to_sys(fs::last_write_time(root / "D" / c.path))
                    .time_since_epoch())
                .count();
        EXPECT_EQ(entry->modified, written);
    }
}

TEST_P(BackendContract, TheOwnerIsKeptBesideTheTreeOutOfReachOfPaths) {
    std::wstring owner = L"left";
    ASSERT_EQ(cmd->rootOwner(server, 0, owner), 0);
    EXPECT_EQ(owner, L"");
    const std::wstring claimed = L"0123456789abcdef0123456789abcdef\t";
    ASSERT_EQ(cmd->claimRoot(server, 0, claimed), 0) << LastError().second;
    ASSERT_EQ(cmd->rootOwner(server, 0, owner), 0);
    EXPECT_EQ(owner, claimed);
    EXPECT_EQ(cmd->claimRoot(server, 0, L""), NFS::NFS_E_INVALID);
    std::wstring sum;
    EXPECT_EQ(cmd->checksum(server, 0, L".vaultfs-owner", sum, count), NFS::NFS_E_INVALID);
    EXPECT_EQ(cmd->delFile(server, 0, L".vaultfs-owner"), NFS::NFS_E_INVALID);
    std::vector<NFS::NfsEntry> entries;
    tree.Write("root/D/a", "a");
    ASSERT_EQ(cmd->listFolder(server, 0, L"D", entries), 0);
    EXPECT_EQ(entries.size(), 1u);
}

// ---- download ---------------------------------------------------------------

TEST_P(BackendContract, DownloadWritesTheLocalNameAndMakesTheFolder) {
    tree.Write("root/D/history/7_1.2.prt", "version 1.2");
    ASSERT_EQ(cmd->download(server, 0, L"D:\\history\\7_1.2.prt", Local("out/deep"), L"part.prt",
                            count, false),
              0);
    EXPECT_EQ(count, 11u);
    EXPECT_EQ(tree.List("out"), (Strings{"deep/", "deep/part.prt"}));
    EXPECT_EQ(tree.Read("out/deep/part.prt"), "version 1.2");

    // A second download replaces the local copy.
    tree.Write("root/D/history/7_1.2.prt", "v2");
    ASSERT_EQ(cmd->download(server, 0, L"D:\\history\\7_1.2.prt", Local("out/deep"), L"part.prt",
                            count, false),
              0);
    EXPECT_EQ(tree.Read("out/deep/part.prt"), "v2");
    EXPECT_EQ(tree.List("out"), (Strings{"deep/", "deep/part.prt"}));
}

TEST_P(BackendContract, DownloadFailures) {
    tree.Write("out/part.prt", "local");
    fs::create_directories(root / "D/folder");
    tree.Write("root/D/a.prt", "a");

    EXPECT_EQ(cmd->download(server, 0, L"D:\\missing.prt", Local("out"), L"part.prt", count, false),
              NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_NOT_FOUND,
                                 L"download: the file \"D:\\missing.prt\" does not exist"));
    EXPECT_EQ(cmd->download(server, 0, L"D:\\folder", Local("out"), L"part.prt", count, false),
              NFS::NFS_E_WRONG_KIND);
    // The local name may not reach out of the local folder.
    for (const std::wstring name : {L"../evil", L"..", L".", L"", L"a/b"})
        EXPECT_EQ(cmd->download(server, 0, L"D:\\a.prt", Local("out"), name, count, false),
                  NFS::NFS_E_INVALID)
            << std::string(name.begin(), name.end());
    EXPECT_EQ(cmd->download(server, 0, L"D:\\a.prt", L"", L"a.prt", count, false),
              NFS::NFS_E_INVALID);
    // A file where the local folder should be, or on its way.
    const std::wstring file = Local("out/part.prt");
    EXPECT_EQ(cmd->download(server, 0, L"D:\\a.prt", file + L"/sub", L"a.prt", count, false),
              NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_WRONG_KIND,
                                 L"download: the local path \"" + file + L"\" is not a folder"));
    EXPECT_EQ(tree.List("out"), (Strings{"part.prt"}));
    EXPECT_EQ(tree.Read("out/part.prt"), "local");
    EXPECT_FALSE(fs::exists(tree / "evil"));
}

// ---- downLoadFolder ---------------------------------------------------------

TEST_P(BackendContract, DownLoadFolderFetchesTheTreeIntoTheLocalFolder) {
    tree.Write("root/D/trunk/a.txt", "aaa");
    tree.Write("root/D/trunk/sub/b.txt", "bb");
    fs::create_directories(root / "D/trunk/empty");
    tree.Write("out/a.txt", "old a");
    tree.Write("out/mine.txt", "mine");

    ASSERT_EQ(cmd->downLoadFolder(server, 0, L"D:\\trunk", Local("out"), count, false), 0);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(tree.List("out"), (Strings{"a.txt", "empty/", "mine.txt", "sub/", "sub/b.txt"}));
    EXPECT_EQ(tree.Read("out/a.txt"), "aaa");
    EXPECT_EQ(tree.Read("out/sub/b.txt"), "bb");
    EXPECT_EQ(tree.Read("out/mine.txt"), "mine");

    // A missing local folder is made.
    ASSERT_EQ(cmd->downLoadFolder(server, 0, L"D:\\trunk\\sub", Local("new/x"), count, false), 0);
    EXPECT_EQ(tree.List("new"), (Strings{"x/", "x/b.txt"}));
}

TEST_P(BackendContract, DownLoadFolderFailures) {
    tree.Write("root/D/file.txt", "f");
    EXPECT_EQ(cmd->downLoadFolder(server, 0, L"D:\\none", Local("out"), count, false),
              NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_NOT_FOUND,
                                 L"downLoadFolder: the folder \"D:\\none\" does not exist"));
    EXPECT_EQ(cmd->downLoadFolder(server, 0, L"D:\\file.txt", Local("out"), count, false),
              NFS::NFS_E_WRONG_KIND);
    EXPECT_FALSE(fs::exists(tree / "out"));

    // Local entries of the other kind are not replaced.
    tree.Write("root/D/trunk/sub/a.txt", "a");
    tree.Write("root/D/trunk/b.txt", "b");
    tree.Write("out/sub", "a local file");
    EXPECT_EQ(cmd->downLoadFolder(server, 0, L"D:\\trunk", Local("out"), count, false),
              NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_WRONG_KIND, L"downLoadFolder: the local path \"" + Local("out/sub") +
                                               L"\" is not a folder"));
    // What came before the failure arrived whole.
    EXPECT_EQ(tree.List("out"), (Strings{"b.txt", "sub"}));
    fs::remove(tree / "out/sub");
    fs::remove(tree / "out/b.txt");
    fs::create_directories(tree / "out/b.txt");
    EXPECT_EQ(cmd->downLoadFolder(server, 0, L"D:\\trunk", Local("out"), count, false),
              NFS::NFS_E_WRONG_KIND);
    EXPECT_TRUE(fs::is_directory(tree / "out/b.txt"));
}

// ---- copy -------------------------------------------------------------------

TEST_P(BackendContract, CopyMakesTheTargetFoldersAndReplaces) {
    tree.Write("root/D/trunk/a.prt", "current");
    ASSERT_EQ(cmd->copy(server, 0, L"D:\\trunk\\a.prt", L"D:\\history\\sub\\5_1.0.prt"), 0);
    EXPECT_EQ(tree.Read("root/D/history/sub/5_1.0.prt"), "current");
    tree.Write("root/D/trunk/a.prt", "newer");
    ASSERT_EQ(cmd->copy(server, 0, L"D:\\trunk\\a.prt", L"D:\\history\\sub\\5_1.0.prt"), 0);
    EXPECT_EQ(tree.List("root/D"), (Strings{"history/", "history/sub/", "history/sub/5_1.0.prt",
                                            "trunk/", "trunk/a.prt"}));
    EXPECT_EQ(tree.Read("root/D/history/sub/5_1.0.prt"), "newer");
    EXPECT_EQ(tree.Read("root/D/trunk/a.prt"), "newer");
}

TEST_P(BackendContract, CopyFailures) {
    fs::create_directories(root / "D/history/5_1.0.prt");
    tree.Write("root/D/trunk/a.prt", "a");
    EXPECT_EQ(cmd->copy(server, 0, L"D:\\trunk\\b.prt", L"D:\\history\\x"), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_NOT_FOUND, L"copy: the file \"D:\\trunk\\b.prt\" does not exist"));
    EXPECT_EQ(cmd->copy(server, 0, L"D:\\trunk\\a.prt", L"D:\\history\\5_1.0.prt"),
              NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(cmd->copy(server, 0, L"D:\\trunk", L"D:\\history\\t"), NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(tree.List("root/D"),
              (Strings{"history/", "history/5_1.0.prt/", "trunk/", "trunk/a.prt"}));
}

// ---- copyFolder -------------------------------------------------------------

TEST_P(BackendContract, CopyFolderIntoAnExistingFolderArrivesUnderItsName) {
    tree.Write("root/D/trunk/a.txt", "a");
    tree.Write("root/D/trunk/sub/b.txt", "b");
    fs::create_directories(root / "D/trunk/empty");
    fs::create_directories(root / "D/baseline");
    ASSERT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\baseline"), 0);
    EXPECT_EQ(tree.List("root/D/baseline"),
              (Strings{"trunk/", "trunk/a.txt", "trunk/empty/", "trunk/sub/", "trunk/sub/b.txt"}));
    EXPECT_EQ(tree.Read("root/D/baseline/trunk/sub/b.txt"), "b");
}

TEST_P(BackendContract, CopyFolderToAMissingTargetBecomesIt) {
    tree.Write("root/D/trunk/a.txt", "a");
    ASSERT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\copies\\snap"), 0);
    EXPECT_EQ(tree.List("root/D/copies"), (Strings{"snap/", "snap/a.txt"}));
}

TEST_P(BackendContract, CopyFolderNeverMergesIntoAnExistingCopy) {
    tree.Write("root/D/trunk/a.txt", "new");
    tree.Write("root/D/baseline/trunk/a.txt", "left from before");
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\baseline"), NFS::NFS_E_EXISTS);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_EXISTS,
                                 L"copyFolder: the folder \"D:\\baseline\\trunk\" already exists"));
    EXPECT_EQ(tree.List("root/D/baseline"), (Strings{"trunk/", "trunk/a.txt"}));
    EXPECT_EQ(tree.Read("root/D/baseline/trunk/a.txt"), "left from before");
}

TEST_P(BackendContract, CopyFolderFailures) {
    tree.Write("root/D/trunk/a.txt", "a");
    tree.Write("root/D/file", "f");
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\none", L"D:\\x"), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\file", L"D:\\x"), NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\file"), NFS::NFS_E_WRONG_KIND);
    // Into itself would never end.
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\trunk"), NFS::NFS_E_INVALID);
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\trunk\\deeper\\x"),
              NFS::NFS_E_INVALID);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_INVALID,
                    L"copyFolder: the folder \"D:\\trunk\" cannot be copied into itself"));
    EXPECT_EQ(tree.List("root/D"), (Strings{"file", "trunk/", "trunk/a.txt"}));
}

TEST_F(LocalBackendTest, CopyFolderWithAPipeLeavesNoPartialCopy) {
    tree.Write("root/D/trunk/a.txt", "a");
    ASSERT_EQ(::mkfifo((root / "D/trunk/z.pipe").c_str(), 0600), 0);
    fs::create_directories(root / "D/baseline");
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\baseline"), NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_WRONG_KIND,
                    L"copyFolder: the entry \"D:\\trunk\\z.pipe\" is neither a file nor a folder"));
    EXPECT_EQ(tree.List("root/D/baseline"), Strings{});
}

TEST_F(LocalBackendTest, TreesFollowLinksThatStayInside) {
    tree.Write("root/D/shared/common.txt", "common");
    tree.Write("root/D/trunk/a.txt", "a");
    fs::create_symlink(root / "D/shared/common.txt", root / "D/trunk/link.txt");
    fs::create_directory_symlink("../shared", root / "D/trunk/shared");
    ASSERT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\snap"), 0);
    // The copy holds content, not links.
    EXPECT_EQ(tree.List("root/D/snap"),
              (Strings{"a.txt", "link.txt", "shared/", "shared/common.txt"}));
    EXPECT_EQ(tree.Read("root/D/snap/link.txt"), "common");

    // A link back to a folder that holds it would never end.
    fs::create_directory_symlink(root / "D/trunk", root / "D/trunk/shared/loop");
    EXPECT_EQ(cmd->downLoadFolder(server, 0, L"D:\\trunk", Local("out"), count, false),
              NFS::NFS_E_INVALID);
    EXPECT_FALSE(fs::exists(tree / "out"));
}

TEST_F(LocalBackendTest, TreesLeaveOutUnfinishedTransfers) {
    tree.Write("root/D/trunk/a.prt", "a");
    tree.Write("root/D/trunk/.a.prt.vfs-0123456789", "half of an upload");
    fs::create_directories(root / "D/trunk/.sub.vfs-abcdefghij");
    // Names that only look alike are ordinary files.
    tree.Write("root/D/trunk/.b.vfs-short", "b");
    tree.Write("root/D/trunk/.c.vfs-ABCDEFGHIJ", "c");
    ASSERT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\snap"), 0);
    EXPECT_EQ(tree.List("root/D/snap"), (Strings{".b.vfs-short", ".c.vfs-ABCDEFGHIJ", "a.prt"}));
    ASSERT_EQ(cmd->downLoadFolder(server, 0, L"D:\\trunk", Local("out"), count, false), 0);
    EXPECT_EQ(tree.List("out"), (Strings{".b.vfs-short", ".c.vfs-ABCDEFGHIJ", "a.prt"}));
    EXPECT_EQ(count, 3u);
}

TEST_P(BackendContract, LongNamesStillGetATemporary) {
    // Near the 255-byte limit: the temporary's name must not exceed it.
    const std::string name(250, 'n');
    tree.Write("local/f", "long");
    tree.Write("root/S/f", "tree");
    ASSERT_EQ(cmd->upload(server, 0, Local("local/f"), L"D:\\" + Wide(name), count, false), 0);
    ASSERT_EQ(
        cmd->download(server, 0, L"D:\\" + Wide(name), Local("out"), Wide(name), count, false), 0);
    ASSERT_EQ(cmd->copyFolder(server, 0, L"S", L"M\\" + Wide(name)), 0);
    EXPECT_EQ(tree.Read(fs::path("root/D") / name), "long");
    EXPECT_EQ(tree.Read(fs::path("out") / name), "long");
    EXPECT_EQ(tree.Read(fs::path("root/M") / name / "f"), "tree");
}

// ---- renameFile, renameFolder -----------------------------------------------

TEST_P(BackendContract, RenameFile) {
    tree.Write("root/D/trunk/a.prt", "a");
    ASSERT_EQ(cmd->renameFile(server, 0, L"D:\\trunk\\a.prt", L"D:\\trunk\\b.prt"), 0);
    EXPECT_EQ(tree.List("root/D/trunk"), (Strings{"b.prt"}));
    EXPECT_EQ(tree.Read("root/D/trunk/b.prt"), "a");
}

TEST_P(BackendContract, RenameFileNeverReplaces) {
    tree.Write("root/D/trunk/a.prt", "a");
    tree.Write("root/D/trunk/b.prt", "b");
    fs::create_directories(root / "D/trunk/dir");
    EXPECT_EQ(cmd->renameFile(server, 0, L"D:\\trunk\\a.prt", L"D:\\trunk\\b.prt"),
              NFS::NFS_E_EXISTS);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_EXISTS,
                                 L"renameFile: the target \"D:\\trunk\\b.prt\" already exists"));
    EXPECT_EQ(cmd->renameFile(server, 0, L"D:\\trunk\\a.prt", L"D:\\trunk\\dir"),
              NFS::NFS_E_EXISTS);
    EXPECT_EQ(tree.Read("root/D/trunk/a.prt"), "a");
    EXPECT_EQ(tree.Read("root/D/trunk/b.prt"), "b");
}

TEST_P(BackendContract, RenameFileFailures) {
    tree.Write("root/D/trunk/a.prt", "a");
    EXPECT_EQ(cmd->renameFile(server, 0, L"D:\\trunk\\x.prt", L"D:\\trunk\\y.prt"),
              NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_NOT_FOUND,
                                 L"renameFile: the file \"D:\\trunk\\x.prt\" does not exist"));
    EXPECT_EQ(cmd->renameFile(server, 0, L"D:\\trunk", L"D:\\t2"), NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(cmd->renameFile(server, 0, L"D:\\trunk\\a.prt", L"D:\\nowhere\\a.prt"),
              NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(
        LastError(),
        Error(NFS::NFS_E_NOT_FOUND,
              L"renameFile: the folder that would hold \"D:\\nowhere\\a.prt\" does not exist"));
    EXPECT_EQ(tree.List("root/D"), (Strings{"trunk/", "trunk/a.prt"}));
}

TEST_P(BackendContract, RenameFolder) {
    tree.Write("root/D/baseline/trunk/a.txt", "a");
    ASSERT_EQ(cmd->renameFolder(server, 0, L"D:\\baseline\\trunk", L"D:\\baseline\\rel1"), 0);
    EXPECT_EQ(tree.List("root/D/baseline"), (Strings{"rel1/", "rel1/a.txt"}));
}

TEST_P(BackendContract, RenameFolderNeverReplacesEvenAnEmptyFolder) {
    tree.Write("root/D/baseline/trunk/a.txt", "a");
    fs::create_directories(root / "D/baseline/rel1");
    EXPECT_EQ(cmd->renameFolder(server, 0, L"D:\\baseline\\trunk", L"D:\\baseline\\rel1"),
              NFS::NFS_E_EXISTS);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_EXISTS,
                    L"renameFolder: the target \"D:\\baseline\\rel1\" already exists"));
    EXPECT_EQ(cmd->renameFolder(server, 0, L"D:\\baseline\\trunk", L"D:\\baseline\\trunk\\in"),
              NFS::NFS_E_INVALID);
    tree.Write("root/D/file", "f");
    EXPECT_EQ(cmd->renameFolder(server, 0, L"D:\\file", L"D:\\file2"), NFS::NFS_E_WRONG_KIND);
    EXPECT_EQ(cmd->renameFolder(server, 0, L"D:\\none", L"D:\\none2"), NFS::NFS_E_NOT_FOUND);
    EXPECT_EQ(tree.List("root/D"), (Strings{"baseline/", "baseline/rel1/", "baseline/trunk/",
                                            "baseline/trunk/a.txt", "file"}));
}

// ---- how the repository library drives it ----------------------------------

TEST_P(BackendContract, RepositoryLifeCycle) {
    const std::wstring d = L"D:\\vault\\repo1";
    for (const std::wstring& dir : {d, d + L"\\trunk", d + L"\\baseline", d + L"\\history"})
        ASSERT_EQ(cmd->mk(server, 0, dir, false), 0);
    tree.Write("local/gear.prt", "gear v1");
    tree.Write("local/sub.asm", "assembly");
    ASSERT_EQ(
        cmd->upload(server, 0, Local("local/gear.prt"), d + L"\\trunk\\gear.prt", count, false), 0);
    ASSERT_EQ(
        cmd->upload(server, 0, Local("local/sub.asm"), d + L"\\trunk\\asm\\sub.asm", count, false),
        0);

    // Check-in: the replaced version goes to history, the new one over the trunk file.
    ASSERT_EQ(cmd->copy(server, 0, d + L"\\trunk\\gear.prt", d + L"\\history\\1_1.0.prt"), 0);
    tree.Write("local/gear.prt", "gear v2");
    ASSERT_EQ(
        cmd->upload(server, 0, Local("local/gear.prt"), d + L"\\trunk\\gear.prt", count, false), 0);

    // Baseline: copy the trunk into the baseline folder, then name it.
    ASSERT_EQ(cmd->copyFolder(server, 0, d + L"\\trunk", d + L"\\baseline"), 0);
    ASSERT_EQ(cmd->renameFolder(server, 0, d + L"\\baseline\\trunk", d + L"\\baseline\\rel1"), 0);
    // The next baseline goes the same way.
    ASSERT_EQ(cmd->copyFolder(server, 0, d + L"\\trunk", d + L"\\baseline"), 0);
    ASSERT_EQ(cmd->renameFolder(server, 0, d + L"\\baseline\\trunk", d + L"\\baseline\\rel2"), 0);

    EXPECT_EQ(tree.List("root/D/vault/repo1"),
              (Strings{"baseline/", "baseline/rel1/", "baseline/rel1/asm/",
                       "baseline/rel1/asm/sub.asm", "baseline/rel1/gear.prt", "baseline/rel2/",
                       "baseline/rel2/asm/", "baseline/rel2/asm/sub.asm", "baseline/rel2/gear.prt",
                       "history/", "history/1_1.0.prt", "trunk/", "trunk/asm/", "trunk/asm/sub.asm",
                       "trunk/gear.prt"}));
    EXPECT_EQ(tree.Read("root/D/vault/repo1/history/1_1.0.prt"), "gear v1");
    EXPECT_EQ(tree.Read("root/D/vault/repo1/baseline/rel1/gear.prt"), "gear v2");

    // Baseline download, backup, an older version under the current name.
    ASSERT_EQ(cmd->downLoadFolder(server, 0, d + L"\\baseline\\rel1", Local("bl"), count, false),
              0);
    EXPECT_EQ(count, 15u);
    EXPECT_EQ(tree.List("bl"), (Strings{"asm/", "asm/sub.asm", "gear.prt"}));
    ASSERT_EQ(cmd->download(server, 0, d + L"\\history\\1_1.0.prt", Local("old"), L"gear.prt",
                            count, false),
              0);
    EXPECT_EQ(tree.Read("old/gear.prt"), "gear v1");

    // Rename and delete a document, delete a baseline, then the repository.
    ASSERT_EQ(cmd->renameFile(server, 0, d + L"\\trunk\\gear.prt", d + L"\\trunk\\wheel.prt"), 0);
    ASSERT_EQ(cmd->delFile(server, 0, d + L"\\trunk\\wheel.prt"), 0);
    ASSERT_EQ(cmd->rm(server, 0, d + L"\\baseline\\rel1"), 0);
    EXPECT_EQ(tree.List("root/D/vault/repo1/trunk"), (Strings{"asm/", "asm/sub.asm"}));
    ASSERT_EQ(cmd->rm(server, 0, d), 0);
    EXPECT_EQ(tree.List("root"), (Strings{"D/", "D/vault/"}));
}

// ---- paths that would leave the root ---------------------------------------

class EscapeTest : public BackendFixture {
protected:
    EscapeTest() {
        tree.Write("outside/secret.txt", "secret");
        tree.Write("local/a.txt", "payload");
        tree.Write("root/D/trunk/a.txt", "a");
        fs::create_directory_symlink(tree / "outside", root / "D/out");
        fs::create_symlink(tree / "outside/secret.txt", root / "D/secret.txt");
    }
    void ExpectOutsideUntouched() const {
        EXPECT_EQ(tree.List("outside"), (Strings{"secret.txt"}));
        EXPECT_EQ(tree.Read("outside/secret.txt"), "secret");
        EXPECT_FALSE(fs::exists(tree / "x"));
        EXPECT_FALSE(fs::exists(tree / "a.txt"));
    }
};

TEST_F(EscapeTest, ParentComponentsAreRefusedByEveryOperation) {
    for (const std::wstring path : {L"..\\x", L"\\..\\..\\etc\\passwd", L"D:\\trunk\\..\\..\\..\\x",
                                    L"../x", L"D:\\trunk\\..\\a.txt"}) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        EXPECT_EQ(cmd->mk(server, 0, path, false), NFS::NFS_E_OUTSIDE_ROOT);
        EXPECT_EQ(LastError(), Error(NFS::NFS_E_OUTSIDE_ROOT,
                                     L"mk: the path \"" + path + L"\" leaves the server's root"));
        EXPECT_EQ(cmd->upload(server, 0, Local("local/a.txt"), path, count, false),
                  NFS::NFS_E_OUTSIDE_ROOT);
        EXPECT_EQ(cmd->download(server, 0, path, Local("dl"), L"a.txt", count, false),
                  NFS::NFS_E_OUTSIDE_ROOT);
        EXPECT_EQ(cmd->downLoadFolder(server, 0, path, Local("dl"), count, false),
                  NFS::NFS_E_OUTSIDE_ROOT);
        EXPECT_EQ(cmd->delFile(server, 0, path), NFS::NFS_E_OUTSIDE_ROOT);
        EXPECT_EQ(cmd->rm(server, 0, path), NFS::NFS_E_OUTSIDE_ROOT);
        EXPECT_EQ(cmd->copy(server, 0, L"D:\\trunk\\a.txt", path), NFS::NFS_E_OUTSIDE_ROOT);
        EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", path), NFS::NFS_E_OUTSIDE_ROOT);
        EXPECT_EQ(cmd->renameFolder(server, 0, L"D:\\trunk", path), NFS::NFS_E_OUTSIDE_ROOT);
    }
    EXPECT_FALSE(fs::exists(tree / "dl"));
    EXPECT_EQ(tree.List("root/D"), (Strings{"out@", "secret.txt@", "trunk/", "trunk/a.txt"}));
    ExpectOutsideUntouched();
}

TEST_F(EscapeTest, LinksOutOfTheRootAreNotFollowed) {
    EXPECT_EQ(cmd->upload(server, 0, Local("local/a.txt"), L"D:\\out\\a.txt", count, false),
              NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(LastError(), Error(NFS::NFS_E_OUTSIDE_ROOT,
                                 L"upload: the path \"D:\\out\\a.txt\" leaves the server's root"));
    EXPECT_EQ(cmd->mk(server, 0, L"D:\\out\\x", false), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->download(server, 0, L"D:\\secret.txt", Local("dl"), L"s.txt", count, false),
              NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->download(server, 0, L"D:\\out\\secret.txt", Local("dl"), L"s.txt", count, false),
              NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->downLoadFolder(server, 0, L"D:\\out", Local("dl"), count, false),
              NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->copy(server, 0, L"D:\\secret.txt", L"D:\\trunk\\s.txt"),
              NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->copy(server, 0, L"D:\\trunk\\a.txt", L"D:\\out\\x"), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->delFile(server, 0, L"D:\\out\\secret.txt"), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->rm(server, 0, L"D:\\out"), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->renameFile(server, 0, L"D:\\out\\secret.txt", L"D:\\trunk\\s.txt"),
              NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\out", L"D:\\copy"), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_FALSE(fs::exists(tree / "dl"));
    EXPECT_FALSE(fs::exists(root / "D/copy"));
    EXPECT_EQ(tree.List("root/D"), (Strings{"out@", "secret.txt@", "trunk/", "trunk/a.txt"}));
    ExpectOutsideUntouched();
}

TEST_F(EscapeTest, ALinkOutInsideACopiedTreeFailsTheWholeCopy) {
    fs::create_symlink(tree / "outside/secret.txt", root / "D/trunk/leak.txt");
    fs::create_directories(root / "D/baseline");
    EXPECT_EQ(cmd->copyFolder(server, 0, L"D:\\trunk", L"D:\\baseline"), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(LastError(),
              Error(NFS::NFS_E_OUTSIDE_ROOT,
                    L"copyFolder: the link \"D:\\trunk\\leak.txt\" leaves the server's root"));
    EXPECT_EQ(cmd->downLoadFolder(server, 0, L"D:\\trunk", Local("dl"), count, false),
              NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(tree.List("root/D/baseline"), Strings{});
    EXPECT_FALSE(fs::exists(tree / "dl"));
    ExpectOutsideUntouched();
}

TEST_F(EscapeTest, DeletingALinkRemovesOnlyTheLink) {
    ASSERT_EQ(cmd->delFile(server, 0, L"D:\\secret.txt"), 0);
    EXPECT_EQ(tree.List("root/D"), (Strings{"out@", "trunk/", "trunk/a.txt"}));
    // Replacing a link puts a file in its place; the file it led to stays.
    fs::create_symlink(tree / "outside/secret.txt", root / "D/secret.txt");
    ASSERT_EQ(cmd->upload(server, 0, Local("local/a.txt"), L"D:\\secret.txt", count, false), 0);
    EXPECT_EQ(tree.List("root/D"), (Strings{"out@", "secret.txt", "trunk/", "trunk/a.txt"}));
    EXPECT_EQ(tree.Read("root/D/secret.txt"), "payload");
    ExpectOutsideUntouched();
}

}  // namespace

// ---- modes ------------------------------------------------------------------

namespace {

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

}  // namespace

// What the server writes takes the mode its root says (private, or shared
// with the root's group), never the writer's umask.
TEST_F(LocalBackendTest, EverythingWrittenFollowsTheRootsModeNotTheUmask) {
    tree.Write("local/a.prt", "a");
    const Umask open(0);
    for (const mode_t rootMode : {mode_t{0700}, mode_t{02770}}) {
        SCOPED_TRACE(rootMode);
        fs::remove_all(root);
        fs::create_directory(root);
        ASSERT_EQ(::chmod(root.c_str(), rootMode), 0);
        const mode_t file = rootMode == 0700 ? 0600 : 0660;
        // Stored files are never written again once published.
        const mode_t stored = rootMode == 0700 ? 0400 : 0440;
        ASSERT_EQ(cmd->mk(server, 0, L"D:\\repo\\history", false), 0);
        ASSERT_EQ(cmd->upload(server, 0, Local("local/a.prt"), L"D:\\repo\\trunk\\s\\a.prt", count,
                              false),
                  0);
        ASSERT_EQ(cmd->copy(server, 0, L"D:\\repo\\trunk\\s\\a.prt", L"D:\\repo\\history\\1.prt"),
                  0);
        ASSERT_EQ(cmd->mkWork(server, 0, L"D:\\repo\\work"), 0);
        NFS::ContentSum staged;
        ASSERT_EQ(cmd->uploadWork(server, 0, Local("local/a.prt"), L"D:\\repo\\work\\content",
                                  count, staged),
                  0);
        ASSERT_EQ(cmd->copyFolder(server, 0, L"D:\\repo\\trunk", L"D:\\repo\\baseline\\b1"), 0);
        std::vector<NFS::NfsFileSum> shared;
        NFS::NfsShareCount how;
        ASSERT_EQ(
            cmd->shareFolder(server, 0, L"D:\\repo\\trunk", L"D:\\repo\\baseline\\b2", shared, how),
            0);
        NFS::RootPassword::Write(root, L"system", L"pw");
        for (const char* folder : {"D", "D/repo", "D/repo/history", "D/repo/trunk/s", "D/repo/work",
                                   "D/repo/baseline", "D/repo/baseline/b1", "D/repo/baseline/b1/s"})
            EXPECT_EQ(ModeOf(root / folder), rootMode) << folder;
        for (const char* path :
             {"D/repo/trunk/s/a.prt", "D/repo/history/1.prt", "D/repo/work/content",
              "D/repo/baseline/b1/s/a.prt", "D/repo/baseline/b2/s/a.prt"})
            EXPECT_EQ(ModeOf(root / path), stored) << path;
        // The login file is replaced whole too, but stays its owner's to rewrite.
        EXPECT_EQ(ModeOf(root / ".vaultfs-login"), file);
        ASSERT_EQ(cmd->logIn(server, 0, L"", L"system", L"pw"), 0);
    }
}

}  // namespace zub::vaultfs::test
