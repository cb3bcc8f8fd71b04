// Repositories compared by the folders their servers reach, and stores that
// keep to their own file-server root: aliases of one server, nested trees,
// deletes that would reach another repository, and a copied store.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"
#include "docvault/docrepo.h"
#include "docvault/errors.h"
#include "docvault/repocheck.h"
#include "internal/fileserverlogin.h"
#include "vaultfs/rootowner.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"
#include "zubtest/tempdir.h"

namespace zub::docvault::test {

namespace {

namespace fs = std::filesystem;

std::string Text(const std::wstring& text) { return zub::WideToUtf8(text); }
std::wstring Wide(const fs::path& p) { return zub::Utf8ToWide(p.string()); }

class RootPlaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        FileServerLogin::Get().Reset();
        store_ = MakeStore("store");
    }
    void TearDown() override { FileServerLogin::Get().Reset(); }

    fs::path MakeStore(const std::string& name) {
        const fs::path dir = tmp_ / name;
        std::wstring error;
        EXPECT_EQ(zub::vaultschema::ProductStore::Create(dir.string(), "QVData", error), 0)
            << Text(error);
        return dir;
    }

    // What `vault init` does beside the databases: the root names its store.
    static void Claim(const fs::path& store) {
        auto system = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(ZUBDB::EmbeddedLocator(store.string()), 0, L"QVSystem", L""), L"");
        ASSERT_TRUE(system);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ASSERT_EQ(system->SelectRows(rs, L"QV_SysInfo", L"StoreId", ZUBDB::QVParams(false), L"",
                                     L"", L"", 0, 0),
                  0);
        NFS::RootOwner::Write(store / "files",
                              {rs->GetStringAt(0),
                               ZUBDB::EmbeddedStorePlace(ZUBDB::EmbeddedLocator(store.string()))});
    }

    std::unique_ptr<DRM::DocRepo> Repo(const fs::path& store, const std::wstring& name,
                                       const std::wstring& server, const std::wstring& dir) {
        auto repo = std::make_unique<DRM::DocRepo>();
        EXPECT_EQ(repo->Connect(ZUBDB::EmbeddedLocator(store.string()), 0, L"QVData", L""), 0);
        repo->set_name(name);
        repo->set_nfsServer(server);
        repo->set_nfsRootDir(dir);
        return repo;
    }

    int Create(const fs::path& store, const std::wstring& name, const std::wstring& server,
               const std::wstring& dir) {
        auto repo = Repo(store, name, server, dir);
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kCreated)
            << repo->ErrNumber() << " " << Text(repo->ErrDesc());
        return repo->id();
    }

    // A row as stores made before the overlap check could hold it.
    int InsertRow(const std::wstring& name, const std::wstring& server, const std::wstring& dir) {
        auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(ZUBDB::EmbeddedLocator(store_.string()), 0, L"QVData", L""), L"");
        ZUBDB::QVParams v(false);
        v.AddParam(0, L"Name", name, false, false, L"=");
        v.AddParam(1, L"Server", server, false, false, L"=");
        v.AddParam(2, L"Port", 0, false, L"=");
        v.AddParam(3, L"Directory", dir, false, false, L"=");
        v.AddParam(4, L"VersionStraId", 1, false, L"=");
        EXPECT_EQ(db->InsertRow(L"QV_DMRepo", v, L"", L""), 0) << Text(db->errDescription());
        EXPECT_EQ(db->CommitTrans(), 0);
        return static_cast<int>(db->LastInsertId());
    }

    bool RowExists(int id) {
        DRM::DocRepo repo;
        repo.Connect(ZUBDB::EmbeddedLocator(store_.string()), 0, L"QVData", L"");
        return repo.Read(id) == 0;
    }

    static void Put(const fs::path& file, const std::string& content) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << content;
    }

    zub::testsupport::TempDir dir_{"rootplace"};
    const fs::path tmp_ = dir_.path();
    fs::path store_;
};

TEST_F(RootPlaceTest, EveryAliasOfTheServerIsTheSameFolder) {
    Create(store_, L"demo", L"file:files", L"\\repos\\demo\\");
    fs::create_directory_symlink(store_ / "files", tmp_ / "link");
    const std::wstring files = Wide(store_ / "files");
    struct Case {
        std::wstring server;
        std::wstring dir;
    };
    for (const Case& c : {
             Case{L"file:./files", L"\\repos\\demo\\"},
             Case{L"file:files/", L"\\repos\\demo\\"},
             Case{L"file:files/../files", L"\\repos\\demo\\"},
             Case{L"file:" + files, L"\\repos\\demo\\"},
             Case{L"file:" + files + L"/", L"repos\\demo"},
             Case{L"file:" + Wide(tmp_ / "link"), L"\\repos\\demo\\"},
             // Nested: a root inside the other's, a tree inside or around it.
             Case{L"file:files/repos", L"\\demo\\"},
             Case{L"file:files/repos/demo", L"\\trunk\\mine\\"},
             Case{L"file:" + Wide(store_), L"\\files\\repos\\"},
         }) {
        SCOPED_TRACE(Text(c.server + L" " + c.dir));
        auto repo = Repo(store_, L"alias", c.server, c.dir);
        EXPECT_EQ(repo->Create(), DRM::DocRepo::kOverlaps);
        EXPECT_EQ(repo->ErrNumber(), 0);
        EXPECT_EQ(repo->id(), 0);
    }
    EXPECT_FALSE(fs::exists(store_ / "files" / "repos" / "demo" / "trunk" / "mine"));
    EXPECT_FALSE(fs::exists(store_ / "files" / "repos" / "trunk"));
    // A folder of its own is fine whatever the spelling of the server.
    Create(store_, L"other", L"file:./files/", L"\\repos\\other\\");
    EXPECT_TRUE(fs::is_directory(store_ / "files" / "repos" / "other" / "trunk"));
}

TEST_F(RootPlaceTest, ADeleteNeverRemovesAFolderAnotherRowReaches) {
    const int demo = Create(store_, L"demo", L"file:files", L"\\repos\\demo\\");
    const fs::path current = store_ / "files" / "repos" / "demo" / "trunk" / "a.prt";
    Put(current, "current");
    struct Case {
        const char* what;
        std::wstring server;
        std::wstring dir;
    };
    for (const Case& c : {
             Case{"alias of the server", L"file:./files", L"\\repos\\demo\\"},
             Case{"absolute server", L"file:" + Wide(store_ / "files"), L"repos\\demo"},
             Case{"tree around it", L"file:files", L"\\repos\\"},
             Case{"tree inside it", L"file:files/repos/demo", L"\\trunk\\"},
         }) {
        SCOPED_TRACE(c.what);
        const int id = InsertRow(L"second", c.server, c.dir);
        DRM::DocRepo repo;
        repo.Connect(ZUBDB::EmbeddedLocator(store_.string()), 0, L"QVData", L"");
        ASSERT_EQ(repo.Read(id), 0);
        EXPECT_EQ(repo.Delete(), DRM::Err::kTreeShared);
        EXPECT_NE(repo.ErrDesc().find(L"demo"), std::wstring::npos) << Text(repo.ErrDesc());
        EXPECT_TRUE(RowExists(id));
        EXPECT_TRUE(fs::exists(current));

        // demo itself is refused too while the other row is there.
        DRM::DocRepo first;
        first.Connect(ZUBDB::EmbeddedLocator(store_.string()), 0, L"QVData", L"");
        ASSERT_EQ(first.Read(demo), 0);
        EXPECT_EQ(first.Delete(), DRM::Err::kTreeShared);
        EXPECT_TRUE(fs::exists(current));

        auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(ZUBDB::EmbeddedLocator(store_.string()), 0, L"QVData", L""), L"");
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"DocRepoId", id, false, L"=");
        ASSERT_EQ(db->DeleteRows(L"QV_DMRepo", cond, L"", L""), 0);
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    // A neighbour whose name only begins the same is no part of it.
    const int neighbour = Create(store_, L"demo2", L"file:files", L"\\repos\\demo2\\");
    DRM::DocRepo repo;
    repo.Connect(ZUBDB::EmbeddedLocator(store_.string()), 0, L"QVData", L"");
    ASSERT_EQ(repo.Read(neighbour), 0);
    EXPECT_EQ(repo.Delete(), 0) << Text(repo.ErrDesc());
    EXPECT_FALSE(fs::exists(store_ / "files" / "repos" / "demo2"));
    EXPECT_TRUE(fs::exists(current));
}

TEST_F(RootPlaceTest, ACopiedStoreLeavesTheOriginalsRootAlone) {
    Claim(store_);
    const std::wstring absolute = L"file:" + Wide(store_ / "files");
    const int demo = Create(store_, L"demo", absolute, L"\\repos\\demo\\");
    const fs::path current = store_ / "files" / "repos" / "demo" / "trunk" / "a.prt";
    Put(current, "original");
    const fs::path copy = tmp_ / "copy";
    fs::copy(store_, copy, fs::copy_options::recursive);
    FileServerLogin::Get().Reset();

    auto mine = Repo(copy, L"", L"", L"");
    ASSERT_EQ(mine->Read(demo), 0);
    const fs::path backup = tmp_ / "backup";
    EXPECT_EQ(mine->BackUp(Wide(backup)), DRM::Err::kForeignRoot);
    EXPECT_NE(mine->ErrDesc().find(L"vault repo repoint"), std::wstring::npos)
        << Text(mine->ErrDesc());
    EXPECT_EQ(mine->Delete(), DRM::Err::kForeignRoot);
    auto another = Repo(copy, L"new", absolute, L"\\repos\\new\\");
    EXPECT_EQ(another->Create(), DRM::DocRepo::kDirFailed);
    EXPECT_EQ(another->ErrNumber(), DRM::Err::kForeignRoot);
    EXPECT_FALSE(fs::exists(store_ / "files" / "repos" / "new"));
    EXPECT_TRUE(fs::exists(current));

    DRM::RepoCheck check;
    check.Connect(ZUBDB::EmbeddedLocator(copy.string()), 0, L"QVData", L"");
    std::vector<DRM::RepoFinding> findings;
    ASSERT_EQ(check.Examine(demo, true, findings), 0) << Text(check.ErrDesc());
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].kind, DRM::RepoFinding::Kind::ForeignRoot);
    EXPECT_FALSE(findings[0].repaired);

    // The copy's own root came along with it and is the copy's; the
    // original keeps working on its own.
    Create(copy, L"local", L"file:files", L"\\repos\\local\\");
    EXPECT_TRUE(fs::is_directory(copy / "files" / "repos" / "local"));
    EXPECT_FALSE(fs::exists(store_ / "files" / "repos" / "local"));
    auto original = Repo(store_, L"", L"", L"");
    ASSERT_EQ(original->Read(demo), 0);
    EXPECT_EQ(original->BackUp(Wide(backup)), 0) << Text(original->ErrDesc());
    EXPECT_TRUE(fs::exists(backup / "a.prt"));
}

TEST_F(RootPlaceTest, AStoreWithoutIdentityCannotUseAClaimedRoot) {
    const fs::path older = MakeStore("older");
    auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(ZUBDB::EmbeddedLocator(older.string()), 0, L"QVSystem", L""), L"");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    ASSERT_EQ(db->ExecuteSql(rs, L"update QV_SysInfo set StoreId = ''", ZUBDB::QVParams(false), L"",
                             0, 0),
              0);
    ASSERT_EQ(db->CommitTrans(), 0);
    Claim(store_);
    const std::wstring theirs = L"file:" + Wide(store_ / "files");
    auto repo = Repo(older, L"x", theirs, L"\\x\\");
    EXPECT_EQ(repo->Create(), DRM::DocRepo::kDirFailed);
    EXPECT_EQ(repo->ErrNumber(), DRM::Err::kForeignRoot);
    // Its own unclaimed root keeps working as before.
    Create(older, L"y", L"file:files", L"\\y\\");
}

}  // namespace

}  // namespace zub::docvault::test
