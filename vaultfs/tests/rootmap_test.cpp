#include "rootmap.h"

#include <gtest/gtest.h>

#include "testtree.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"

namespace zub::vaultfs::test {

namespace {

namespace fs = std::filesystem;
using NFS::NfsError;
using NFS::RootMap;

long ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const NfsError& e) {
        return e.number();
    }
    return 0;
}

TEST(RootMapRelative, SeparatorsDriveAndDotsAreNormalised) {
    EXPECT_EQ(RootMap::Relative(L"D:\\repo1\\trunk"), fs::path("D/repo1/trunk"));
    EXPECT_EQ(RootMap::Relative(L"d:/repo1/trunk/"), fs::path("D/repo1/trunk"));
    EXPECT_EQ(RootMap::Relative(L"\\\\repo1\\\\.\\trunk"), fs::path("repo1/trunk"));
    EXPECT_EQ(RootMap::Relative(L"/x/y.txt"), fs::path("x/y.txt"));
    // Only a leading two-character "x:" is a drive.
    EXPECT_EQ(RootMap::Relative(L"repo\\C:\\a"), fs::path("repo/C:/a"));
    EXPECT_EQ(RootMap::Relative(L"DD:\\a"), fs::path("DD:/a"));
    EXPECT_EQ(RootMap::Relative(L"1:\\a"), fs::path("1:/a"));
}

TEST(RootMapRelative, NonAsciiNamesArriveAsUtf8) {
    EXPECT_EQ(RootMap::Relative(L"D:\\\u6587\u6863\\a.prt"),
              fs::path("D/\xe6\x96\x87\xe6\xa1\xa3/a.prt"));
}

TEST(RootMapRelative, RefusesParentComponentsEmptyPathsAndNulls) {
    EXPECT_EQ(ErrorOf([] { RootMap::Relative(L"..\\x"); }), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(ErrorOf([] { RootMap::Relative(L"\\..\\..\\etc\\passwd"); }),
              NFS::NFS_E_OUTSIDE_ROOT);
    // Even a ".." that would stay inside is refused.
    EXPECT_EQ(ErrorOf([] { RootMap::Relative(L"D:\\a\\..\\b"); }), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(ErrorOf([] { RootMap::Relative(L""); }), NFS::NFS_E_INVALID);
    EXPECT_EQ(ErrorOf([] { RootMap::Relative(L"\\\\.\\"); }), NFS::NFS_E_INVALID);
    EXPECT_EQ(ErrorOf([] { RootMap::Relative(std::wstring(L"a\0b", 3)); }), NFS::NFS_E_INVALID);
    // "..." is an ordinary name.
    EXPECT_EQ(RootMap::Relative(L"...\\a"), fs::path(".../a"));
}

TEST(RootMap, MissingRootIsNotFound) {
    TestTree tree;
    EXPECT_EQ(ErrorOf([&] { RootMap map(tree / "absent"); }), NFS::NFS_E_NOT_FOUND);
    tree.Write("file", "x");
    EXPECT_EQ(ErrorOf([&] { RootMap map(tree / "file"); }), NFS::NFS_E_NOT_FOUND);
}

TEST(RootMap, EntryKeepsTheLastLinkFollowResolvesIt) {
    TestTree tree;
    fs::create_directories(tree / "root/D/real");
    fs::create_directory_symlink(tree / "root/D/real", tree / "root/D/alias");
    const RootMap map(tree / "root");
    EXPECT_EQ(map.Entry(L"D:\\alias"), tree / "root/D/alias");
    EXPECT_EQ(map.Follow(L"D:\\alias"), tree / "root/D/real");
    EXPECT_EQ(map.Entry(L"D:\\alias\\new.txt"), tree / "root/D/real/new.txt");
    EXPECT_EQ(map.Follow(L"D:\\missing\\deeper"), tree / "root/D/missing/deeper");
}

// What lies below the root resolves as a walk of the whole path would.
TEST(RootMap, BelowTheRootResolvesAsAWalkFromTheTopWould) {
    TestTree tree;
    fs::create_directories(tree / "root/D/real/deep");
    fs::create_directory_symlink(tree / "root/D/real", tree / "root/D/alias");
    fs::create_directory_symlink("alias/deep", tree / "root/D/chain");
    fs::create_directories(tree / "root/图纸");
    tree.Write("root/D/file", "x");
    const RootMap map(tree / "root");
    for (const char* relative : {"D", "D/real/deep", "D/alias", "D/alias/deep/new", "D/chain/x",
                                 "D/missing/deeper", "D/file", "D/file/under", "图纸/零件.prt"}) {
        SCOPED_TRACE(relative);
        EXPECT_EQ(map.Below(fs::u8path(relative)),
                  fs::weakly_canonical(map.root() / fs::u8path(relative)));
    }
}

TEST(RootMap, LinksLeadingOutOfTheRootAreRefused) {
    TestTree tree;
    fs::create_directories(tree / "root");
    fs::create_directories(tree / "outside");
    tree.Write("outside/secret", "s");
    fs::create_directory_symlink(tree / "outside", tree / "root/out");
    fs::create_symlink(tree / "outside/secret", tree / "root/secret");
    // A relative link climbing out is no different.
    fs::create_directory_symlink("../outside", tree / "root/up");
    const RootMap map(tree / "root");
    EXPECT_EQ(ErrorOf([&] { map.Entry(L"out\\x"); }), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(ErrorOf([&] { map.Follow(L"out"); }), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(ErrorOf([&] { map.Follow(L"secret"); }), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(ErrorOf([&] { map.Entry(L"up\\secret"); }), NFS::NFS_E_OUTSIDE_ROOT);
    // The link itself, as an entry, is inside.
    EXPECT_EQ(map.Entry(L"secret"), tree / "root/secret");
}

TEST(RootMap, SiblingWithTheRootAsPrefixIsOutside) {
    TestTree tree;
    fs::create_directories(tree / "root");
    fs::create_directories(tree / "root2");
    fs::create_directory_symlink(tree / "root2", tree / "root/sib");
    const RootMap map(tree / "root");
    EXPECT_FALSE(map.Inside(tree / "root2"));
    EXPECT_TRUE(map.Inside(tree / "root"));
    EXPECT_TRUE(map.Inside(tree / "root/a/b"));
    EXPECT_EQ(ErrorOf([&] { map.Follow(L"sib\\x"); }), NFS::NFS_E_OUTSIDE_ROOT);
}

}  // namespace

}  // namespace zub::vaultfs::test
