// Where server texts and paths land, and the owner a root names.
#include <gtest/gtest.h>

#include "backendfixture.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/rootowner.h"
#include "vaultfs/rootpassword.h"

namespace zub::vaultfs::test {

namespace {

namespace fs = std::filesystem;

class PlaceTest : public BackendFixture {
protected:
    std::wstring Where(const std::wstring& srv, const std::wstring& path) {
        std::wstring location;
        EXPECT_EQ(cmd->where(srv, 0, path, location), 0) << Wide(fs::path(srv + L" " + path));
        return location;
    }
    std::wstring Real(const fs::path& p) { return L"file:" + Wide(fs::weakly_canonical(p)); }
};

TEST_F(PlaceTest, EverySpellingOfOneFolderLandsInOnePlace) {
    fs::create_directories(root / "repos" / "demo");
    fs::create_directory_symlink(root, tree / "link");
    fs::create_directory_symlink(root / "repos" / "demo", root / "alias");
    const std::wstring dir = Wide(root);
    const std::wstring demo = Real(root / "repos" / "demo");
    struct Case {
        std::wstring server;
        std::wstring path;
    };
    for (const Case& c : {
             Case{L"file:" + dir, L"\\repos\\demo"},
             Case{L"file:" + dir + L"/", L"\\repos\\demo\\"},
             Case{L"file:" + dir + L"/.", L"repos/demo"},
             Case{L"file:" + dir + L"/../" + Wide(root.filename()), L"\\repos\\.\\demo"},
             Case{L"FILE:" + dir + L"//", L"\\\\repos\\\\demo"},
             Case{L"file:" + Wide(tree / "link"), L"\\repos\\demo"},
             Case{L"file:" + dir + L"/repos", L"\\demo"},
             Case{L"file:" + dir + L"/repos/demo", L""},
             Case{L"file:" + dir, L"\\alias"},
         }) {
        SCOPED_TRACE(Wide(fs::path(c.server + L" " + c.path)));
        EXPECT_EQ(Where(c.server, c.path), demo);
    }
    // A place inside another is that place and more; a name that merely
    // begins like it is not.
    EXPECT_EQ(Where(L"file:" + dir, L"\\repos\\demo\\trunk"), demo + L"/trunk");
    EXPECT_EQ(Where(L"file:" + dir, L"\\repos\\demo2"), Real(root / "repos") + L"/demo2");
    EXPECT_EQ(Where(L"file:" + dir, L"."), Real(root));
}

TEST_F(PlaceTest, AMissingRootStillHasAPlaceButNoWayOut) {
    const std::wstring gone = Wide(tree / "gone");
    EXPECT_EQ(Where(L"file:" + gone + L"/./x/..", L"a"), Real(tree / "gone") + L"/a");
    std::wstring location = L"stale";
    EXPECT_EQ(cmd->where(server, 0, L"..\\..\\etc", location), NFS::NFS_E_OUTSIDE_ROOT);
    EXPECT_EQ(location, L"");
}

TEST_F(PlaceTest, OwnerIsReadByAnyoneClaimedOnlyAfterLoginAndIsNoServerPath) {
    std::wstring owner = L"stale";
    EXPECT_EQ(cmd->rootOwner(server, 0, owner), 0);
    EXPECT_EQ(owner, L"");
    const NFS::RootOwner mine{L"S1", L"sqlite:/stores/a"};

    NFS::RootPassword::Write(root, L"system", L"pw");
    EXPECT_EQ(cmd->claimRoot(server, 0, mine.Text()), NFS::NFS_E_LOGIN);
    EXPECT_FALSE(fs::exists(root / NFS::RootOwner::kFileName));
    cmd->logIn(server, 0, L"", L"system", L"pw");
    for (const std::wstring bad : {L"", L"S1", L"\tplace", L"S1\tx\nS2\ty"}) {
        SCOPED_TRACE(Wide(fs::path(bad)));
        EXPECT_EQ(cmd->claimRoot(server, 0, bad), NFS::NFS_E_INVALID);
    }
    EXPECT_EQ(cmd->claimRoot(server, 0, mine.Text()), 0);
    EXPECT_EQ(cmd->rootOwner(server, 0, owner), 0);
    EXPECT_EQ(owner, L"S1\tsqlite:/stores/a");
    EXPECT_EQ(fs::status(root / NFS::RootOwner::kFileName).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    tree.Write("local/evil", "S2\tsqlite:/elsewhere\n");
    for (const std::wstring path : {L".vaultfs-owner", L"\\.vaultfs-owner", L"/./.vaultfs-owner"}) {
        SCOPED_TRACE(Wide(fs::path(path)));
        EXPECT_EQ(cmd->upload(server, 0, Local("local/evil"), path, count, false),
                  NFS::NFS_E_INVALID);
        EXPECT_EQ(cmd->delFile(server, 0, path), NFS::NFS_E_INVALID);
        EXPECT_EQ(cmd->renameFile(server, 0, path, L"open"), NFS::NFS_E_INVALID);
    }
    EXPECT_EQ(NFS::RootOwner::Read(root)->storeId, L"S1");

    tree.Write("root/.vaultfs-owner", "no tab here\n");
    EXPECT_EQ(cmd->rootOwner(server, 0, owner), NFS::NFS_E_IO);
}

}  // namespace

}  // namespace zub::vaultfs::test
