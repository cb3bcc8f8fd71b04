#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvsvrinfo.h"
#include "sqliteaccessor.h"
#include "testsupport.h"
#include "zub/text.h"

using zub::dbcore::test::Params;
using ZUBDB::CDBAccessor;
using ZUBDB::CDBAccessorCreator;
using ZUBDB::CDBRecordset;
using ZUBDB::DBValue;
using ZUBDB::QVSvrInfo;
using ZUBDB::SqliteSession;
using ZUBDB::StoreDefinition;

namespace fs = std::filesystem;

namespace {

// A store that is not the product's: a main database of items and a fixed
// "Log" database beside it.
std::shared_ptr<StoreDefinition> ShopDefinition() {
    auto store = std::make_shared<StoreDefinition>();
    store->main.sqliteSchema = "CREATE TABLE Item (Id INTEGER PRIMARY KEY, Label TEXT NOT NULL);";
    store->main.seed = [](SqliteSession& db) {
        db.Execute("INSERT INTO Item (Label) VALUES (?)", {DBValue(std::wstring(L"first"))});
    };
    store->main.procedures.Register(
        L"CountItems",
        {ZUBDB::ProcedureKind::ReadOnly, [](SqliteSession& db, const std::vector<DBValue>&) {
             return db.Query("SELECT count(*) AS n FROM Item", {});
         }});
    auto& log = store->fixed["Log"];
    log.sqliteSchema = "CREATE TABLE Entry (Text TEXT);";
    log.seed = [](SqliteSession& db) { db.Execute("INSERT INTO Entry VALUES ('made')", {}); };
    return store;
}

std::unique_ptr<CDBRecordset> Query(CDBAccessor& db, const std::wstring& sql) {
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_EQ(db.ExecuteSql(rs, sql, Params(), L"", 0, 0), 0)
        << zub::WideToUtf8(db.errDescription());
    // Empty rather than null, so a failed query fails its checks, not the run.
    return rs ? std::move(rs) : std::make_unique<CDBRecordset>();
}

std::unique_ptr<CDBAccessor> OpenShop(const std::string& dir, const wchar_t* db) {
    auto& creator = CDBAccessorCreator::instance();
    auto accessor =
        creator.CreateAccessor(QVSvrInfo(L"shop:" + zub::Utf8ToWide(dir), 0, db, L""), L"");
    EXPECT_TRUE(accessor) << zub::WideToUtf8(creator.LastError());
    return accessor;
}

std::set<std::string> FilesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

class EmbeddedStore : public ::testing::Test {
protected:
    void SetUp() override { ZUBDB::RegisterEmbeddedStore(L"shop", ShopDefinition()); }
    void TearDown() override { ZUBDB::RegisterEmbeddedStore(L"shop", nullptr); }

    int Create(const fs::path& dir, const std::string& name, std::wstring& error,
               const StoreDefinition& definition = *ShopDefinition()) {
        return ZUBDB::CreateEmbeddedStore(dir.string(), definition, name, error);
    }

    zub::testsupport::TempDir tmp;
};

}  // namespace

TEST_F(EmbeddedStore, ADefinitionOfItsOwnIsCreatedAndServed) {
    const fs::path dir = tmp.path() / "a" / "store";
    std::wstring error;
    ASSERT_EQ(Create(dir, "Shop", error), 0) << zub::WideToUtf8(error);
    EXPECT_EQ(error, L"");
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"Shop.sqlite3", "Log.sqlite3", "files"}));

    auto shop = OpenShop(dir.string(), L"Shop");
    ASSERT_TRUE(shop);
    EXPECT_EQ(Query(*shop, L"select Label from Item")->GetStringAt(0), L"first");
    EXPECT_EQ(Query(*shop, L"countitems")->GetInt(L"n"), 1);
    EXPECT_EQ(Query(*shop, L"pragma journal_mode")->GetStringAt(0), L"wal");
    EXPECT_EQ(
        Query(*shop, L"select count(*) from sqlite_master where name like 'QV%'")->GetIntAt(0), 0);

    // The fixed database has its own part: its rows, and not the main one's procedures.
    auto log = OpenShop(dir.string(), L"Log");
    ASSERT_TRUE(log);
    EXPECT_EQ(Query(*log, L"select Text from Entry")->GetStringAt(0), L"made");
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_NE(log->ExecuteSql(rs, L"CountItems", Params(), L"", 0, 0), 0);
}

// A new store is its owner's alone, a folder shared with a group beforehand
// gives the group the same; the journals follow their database, and no umask
// opens anything to other accounts.
TEST_F(EmbeddedStore, DatabasesAndFoldersAreNeverOpenToOtherAccounts) {
    const struct {
        const char* name;
        mode_t before;  // 0: the folder is made by the store
        mode_t folder;
        mode_t file;
    } rows[] = {{"new", 0, 0700, 0600}, {"group", 02770, 02770, 0660}};
    const mode_t mask = ::umask(0);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const fs::path dir = tmp.path() / r.name;
        if (r.before != 0) {
            fs::create_directory(dir);
            ASSERT_EQ(::chmod(dir.c_str(), r.before), 0);
        }
        std::wstring error;
        ASSERT_EQ(Create(dir, "Shop", error), 0) << zub::WideToUtf8(error);
        auto shop = OpenShop(dir.string(), L"Shop");
        ASSERT_TRUE(shop);
        Query(*shop, L"insert into Item (Label) values ('second')");
        ASSERT_EQ(shop->CommitTrans(), 0);
        ASSERT_TRUE(fs::exists(dir / "Shop.sqlite3-wal"));
        auto mode = [](const fs::path& p) {
            struct stat st {};
            EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
            return st.st_mode & 07777;
        };
        EXPECT_EQ(mode(dir), r.folder);
        EXPECT_EQ(mode(dir / "files"), r.folder);
        for (const char* file :
             {"Shop.sqlite3", "Log.sqlite3", "Shop.sqlite3-wal", "Shop.sqlite3-shm"})
            EXPECT_EQ(mode(dir / file), r.file) << file;
    }
    ::umask(mask);
}

TEST_F(EmbeddedStore, OpeningBringsAnOlderDatabaseUpToDate) {
    std::wstring error;
    ASSERT_EQ(Create(tmp.path(), "Shop", error), 0) << zub::WideToUtf8(error);

    auto newer = ShopDefinition();
    newer->main.upgrade = [](SqliteSession& db) {
        if (db.Query("SELECT 1 FROM pragma_table_info('Item') WHERE name='Price'", {}).IsEOF())
            db.Execute("ALTER TABLE Item ADD COLUMN Price INTEGER NOT NULL DEFAULT 0", {});
    };
    ZUBDB::RegisterEmbeddedStore(L"shop", newer);
    for (int open = 0; open < 2; ++open) {
        auto shop = OpenShop(tmp.str(), L"Shop");
        ASSERT_TRUE(shop);
        EXPECT_EQ(Query(*shop, L"select Label, Price from Item")->GetIntAt(1, -1), 0);
    }
    // Upgrade belongs to the main part only.
    auto log = OpenShop(tmp.str(), L"Log");
    ASSERT_TRUE(log);
    EXPECT_EQ(Query(*log, L"select count(*) from pragma_table_info('Entry')")->GetIntAt(0), 1);
}

TEST_F(EmbeddedStore, AStoreWithoutADefinitionIsNotOpened) {
    std::wstring error;
    ASSERT_EQ(Create(tmp.path(), "Shop", error), 0) << zub::WideToUtf8(error);
    auto& creator = CDBAccessorCreator::instance();
    const std::wstring locator = L"shop:" + zub::Utf8ToWide(tmp.str());

    ZUBDB::RegisterEmbeddedStore(L"Shop", nullptr);
    EXPECT_EQ(ZUBDB::FindEmbeddedStore(L"shop"), nullptr);
    EXPECT_FALSE(creator.CreateAccessor(QVSvrInfo(locator, 0, L"Shop", L""), L""));
    EXPECT_NE(creator.LastError().find(L"no store definition is registered for \"shop:\""),
              std::wstring::npos)
        << zub::WideToUtf8(creator.LastError());

    // "sqlite" and the local form behave alike while it has none.
    const auto product = ZUBDB::FindEmbeddedStore(L"sqlite");
    ZUBDB::RegisterEmbeddedStore(L"sqlite", nullptr);
    EXPECT_FALSE(
        creator.CreateAccessor(zub::Utf8ToWide((tmp.path() / "Shop.sqlite3").string()), L""));
    const std::wstring localError = creator.LastError();
    EXPECT_FALSE(
        creator.CreateAccessor(QVSvrInfo(ZUBDB::EmbeddedLocator(tmp.str()), 0, L"Shop", L""), L""));
    const std::wstring sqliteError = creator.LastError();
    if (product) ZUBDB::RegisterEmbeddedStore(L"sqlite", product);
    EXPECT_NE(localError.find(L"\"sqlite:\""), std::wstring::npos) << zub::WideToUtf8(localError);
    EXPECT_NE(sqliteError.find(L"\"sqlite:\""), std::wstring::npos) << zub::WideToUtf8(sqliteError);

    EXPECT_THROW(ZUBDB::SqliteAccessor((tmp.path() / "Shop.sqlite3").string(), nullptr),
                 std::invalid_argument);
}

TEST_F(EmbeddedStore, RefusesToOverwriteAnExistingStore) {
    std::wstring error;
    ASSERT_EQ(Create(tmp.path(), "Shop", error), 0) << zub::WideToUtf8(error);
    {
        auto db = OpenShop(tmp.str(), L"Shop");
        ASSERT_TRUE(db);
        Query(*db, L"insert into Item (Label) values ('precious')");
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    EXPECT_NE(Create(tmp.path(), "Shop", error), 0);
    EXPECT_NE(error.find(L"Shop.sqlite3 already exists"), std::wstring::npos)
        << zub::WideToUtf8(error);
    auto db = OpenShop(tmp.str(), L"Shop");
    ASSERT_TRUE(db);
    EXPECT_EQ(Query(*db, L"select count(*) from Item where Label = 'precious'")->GetIntAt(0), 1);

    // Only a fixed database there: refused, and no main database appears.
    zub::testsupport::TempDir other;
    { std::ofstream(other.path() / "Log.sqlite3") << "x"; }
    error.clear();
    EXPECT_NE(Create(other.path(), "Shop", error), 0);
    EXPECT_NE(error.find(L"Log.sqlite3 already exists"), std::wstring::npos)
        << zub::WideToUtf8(error);
    EXPECT_EQ(FilesIn(other.path()), (std::set<std::string>{"Log.sqlite3"}));
}

// Another creator publishing the same store while this one builds it: the
// loser gets the answer of finding the store there before, and leaves it be.
TEST_F(EmbeddedStore, LosingACreateRaceIsRefusedLikeAnExistingStore) {
    auto racing = ShopDefinition();
    const fs::path rival = tmp.path() / "Shop.sqlite3";
    racing->fixed["Log"].seed = [rival](SqliteSession&) { std::ofstream(rival) << "rival"; };
    std::wstring error;
    EXPECT_EQ(Create(tmp.path(), "Shop", error, *racing), 1);
    EXPECT_NE(error.find(L"Shop.sqlite3 already exists"), std::wstring::npos)
        << zub::WideToUtf8(error);
    EXPECT_EQ(FilesIn(tmp.path()), (std::set<std::string>{"Shop.sqlite3", "files"}));
    std::ifstream in(rival);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "rival");
}

TEST_F(EmbeddedStore, RefusesBadNamesAndPlaces) {
    std::wstring error;
    for (const char* name : {"", "a/b", "..", "Log"}) {
        error.clear();
        EXPECT_NE(Create(tmp.path(), name, error), 0) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_TRUE(FilesIn(tmp.path()).empty());

    error.clear();
    EXPECT_NE(Create("", "Shop", error), 0);
    EXPECT_FALSE(error.empty());

    // The directory cannot be made under a plain file.
    { std::ofstream(tmp.path() / "file") << "x"; }
    error.clear();
    EXPECT_NE(Create(tmp.path() / "file" / "store", "Shop", error), 0);
    EXPECT_NE(error.find(L"cannot create the directory"), std::wstring::npos)
        << zub::WideToUtf8(error);
}

// Whichever database fails to build, none of them is left behind, under its
// name or a temporary one.
TEST_F(EmbeddedStore, AFailedCreationLeavesNoDatabase) {
    struct Case {
        const char* what;
        void (*breakIt)(StoreDefinition&);
    };
    for (const Case& c : {
             Case{"main script",
                  [](StoreDefinition& d) { d.main.sqliteSchema = "CREATE nonsense"; }},
             Case{"fixed seed",
                  [](StoreDefinition& d) {
                      d.fixed["Log"].seed = [](SqliteSession& db) {
                          db.Execute("INSERT INTO NoSuchTable VALUES (1)", {});
                      };
                  }},
         }) {
        SCOPED_TRACE(c.what);
        zub::testsupport::TempDir dir;
        auto broken = ShopDefinition();
        c.breakIt(*broken);
        std::wstring error;
        EXPECT_EQ(Create(dir.path(), "Shop", error, *broken), 3);
        EXPECT_NE(error.find(L"cannot create the store in"), std::wstring::npos)
            << zub::WideToUtf8(error);
        EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"files"}));
    }
}

TEST(EmbeddedFileServer, IsNamedRelativeToTheStore) {
    struct Case {
        const wchar_t* db;
        const wchar_t* files;
        const wchar_t* resolved;
    };
    for (const Case& c : {
             Case{L"sqlite:/s/store", L"file:files", L"file:/s/store/files"},
             Case{L"sqlite:/s/store/", L"file:files", L"file:/s/store/files"},
             Case{L"SQLITE:/s/copy", L"File:files", L"file:/s/copy/files"},
             // Stores made before name an absolute folder: kept as it is.
             Case{L"sqlite:/s/copy", L"file:/s/store/files", L"file:/s/store/files"},
             Case{L"rec:", L"file:files", L"file:files"},
             Case{L"sqlite:/s/store", L"recfs:x", L"recfs:x"},
         }) {
        SCOPED_TRACE(zub::WideToUtf8(std::wstring(c.db) + L" " + c.files));
        EXPECT_EQ(ZUBDB::ResolveFileServer(c.db, c.files), c.resolved);
    }
    EXPECT_EQ(ZUBDB::EmbeddedFileServer(), L"file:files");
    zub::testsupport::TempDir dir;
    const fs::path store = dir.path() / "store";
    fs::create_directories(store);
    fs::create_directory_symlink(store, dir.path() / "link");
    const std::wstring place = L"sqlite:" + zub::Utf8ToWide(fs::canonical(store).string());
    for (const std::string& spelling :
         {store.string(), store.string() + "/", store.string() + "/../store/.",
          (dir.path() / "link").string()}) {
        SCOPED_TRACE(spelling);
        EXPECT_EQ(ZUBDB::EmbeddedStorePlace(L"sqlite:" + zub::Utf8ToWide(spelling)), place);
    }
    EXPECT_EQ(ZUBDB::EmbeddedStorePlace(L"rec:"), L"");
    EXPECT_EQ(ZUBDB::EmbeddedStorePlace(L"sqlite:"), L"");
    EXPECT_EQ(ZUBDB::EmbeddedLocator("/s/store"), L"sqlite:/s/store");
}
