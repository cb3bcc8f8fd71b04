#include <gtest/gtest.h>
#include <sqlite3.h>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "dbcore/serverstore.h"
#include "productstorehelpers.h"

namespace zub::vaultschema::test {

using ZUBDB::CDBAccessor;
using ZUBDB::CDBRecordset;

namespace fs = std::filesystem;

namespace {

std::unique_ptr<CDBAccessor> Open(const fs::path& file) {
    return ZUBDB::CDBAccessorCreator::instance().CreateAccessor(zub::Utf8ToWide(file.string()),
                                                                L"");
}

std::vector<std::wstring> ColumnsOf(CDBAccessor& db, const std::wstring& table) {
    auto rs = Query(db, L"select name from pragma_table_info('" + table + L"') order by cid");
    std::vector<std::wstring> names;
    for (; rs && !rs->IsEOF(); rs->MoveNext()) names.push_back(rs->GetStringAt(0));
    return names;
}

std::set<std::string> FilesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

}  // namespace

TEST(ProductStore, CreatesBothDatabasesWithTheirStartingRows) {
    zub::testsupport::TempDir tmp;
    fs::path dir = tmp.path() / "a" / "store";
    std::wstring error;
    ASSERT_EQ(ProductStore::Create(dir.string(), ProductStore::kDefaultProductDb, error), 0)
        << zub::WideToUtf8(error);
    EXPECT_EQ(error, L"");
    EXPECT_EQ(FilesIn(dir), (std::set<std::string>{"QVData.sqlite3", "QVSystem.sqlite3", "files"}));
    EXPECT_EQ(ZUBDB::EmbeddedLocator(dir.string()), zub::Utf8ToWide("sqlite:" + dir.string()));

    auto product = Open(dir / "QVData.sqlite3");
    ASSERT_TRUE(product);
    auto strategy = Query(*product, L"select * from QV_DMVerStrategy");
    ASSERT_EQ(strategy->GetRecordCount(), 1);
    EXPECT_EQ(strategy->GetInt(L"VersionStraId"), 1);
    EXPECT_EQ(strategy->GetInt(L"SeriaNumStra"), 2);
    EXPECT_EQ(strategy->GetInt(L"Begin_Main"), 1);
    EXPECT_EQ(strategy->GetInt(L"Begin_sub", -1), 0);
    EXPECT_EQ(strategy->GetInt(L"NewDocBeginNum", -1), 0);
    EXPECT_EQ(strategy->GetInt(L"DocAdvScope", -1), 0);
    EXPECT_EQ(strategy->GetInt(L"CreateBSLNAdv", -1), 0);
    auto users = Query(*product, L"select UserId, UserName from QV_User");
    ASSERT_EQ(users->GetRecordCount(), 1);
    EXPECT_EQ(users->GetIntAt(0), 1);
    EXPECT_EQ(users->GetStringAt(1), L"system");
    EXPECT_EQ(Query(*product, L"pragma journal_mode")->GetStringAt(0), L"wal");
    EXPECT_EQ(Query(*product, L"pragma cache_size")->GetInt64At(0), -65536);

    auto system = Open(dir / "QVSystem.sqlite3");
    ASSERT_TRUE(system);
    auto info = Query(*system, L"select sysPwd, StoreId from QV_SysInfo");
    ASSERT_EQ(info->GetRecordCount(), 1);
    std::wstring pwd = info->GetString(L"sysPwd");
    EXPECT_EQ(pwd.size(), 32u);
    const std::wstring id = info->GetString(L"StoreId");
    EXPECT_EQ(id.size(), 32u);

    // Every store gets its own password and identity.
    std::wstring error2;
    ASSERT_EQ(ProductStore::Create((tmp.path() / "other").string(), "QVData", error2), 0);
    auto system2 = Open(tmp.path() / "other" / "QVSystem.sqlite3");
    auto info2 = Query(*system2, L"select sysPwd, StoreId from QV_SysInfo");
    EXPECT_NE(info2->GetStringAt(0), pwd);
    EXPECT_NE(info2->GetStringAt(1), id);
}

TEST(ProductStore, ProductSchemaHasEveryTableViewAndColumnOrder) {
    TempProductStore store;
    auto db = store.Connect();
    auto rs = Query(*db,
                    L"select type, name from sqlite_master where type in ('table','view') and name "
                    L"like 'QV%' order by name");
    std::set<std::wstring> objects;
    for (; !rs->IsEOF(); rs->MoveNext())
        objects.insert(rs->GetString(L"type") + L":" + rs->GetString(L"name"));
    EXPECT_EQ(objects, (std::set<std::wstring>{
                           L"table:QV_CaxForm", L"table:QV_DMAuth", L"table:QV_DMBaseline",
                           L"table:QV_DMDoc", L"table:QV_DMDocVer", L"table:QV_DMRepo",
                           L"table:QV_DMVerStrategy", L"table:QV_IdCounter", L"table:QV_Role",
                           L"table:QV_User", L"table:QV_UserRole", L"view:QV_v_DMAuthSet"}));
    EXPECT_EQ(ColumnsOf(*db, L"QV_DMDoc"), (std::vector<std::wstring>{L"DocId",
                                                                      L"DocRepoId",
                                                                      L"Name",
                                                                      L"Ext",
                                                                      L"CurrentVersion",
                                                                      L"CurrentState",
                                                                      L"CurrentOperatorId",
                                                                      L"CurrentOperatorName",
                                                                      L"CreatorId",
                                                                      L"CreatorName",
                                                                      L"DocCreateTime",
                                                                      L"LastOperatorId",
                                                                      L"LastOperatorName",
                                                                      L"LastOperateTime",
                                                                      L"LastOperatorTime",
                                                                      L"phyUrl",
                                                                      L"CaxDocType",
                                                                      L"PendingFile",
                                                                      L"ChangeStamp",
                                                                      L"ContentSha256",
                                                                      L"ContentBytes"}));
    // Read by position: new columns only ever go at the end.
    EXPECT_EQ(
        ColumnsOf(*db, L"QV_DMDocVer"),
        (std::vector<std::wstring>{L"DocVersionId", L"DocId", L"BaseLineId", L"DocName",
                                   L"OperatorId", L"OperatorName", L"OperatorTime", L"OperateInfo",
                                   L"Action", L"PhyUrl", L"Version_Main", L"Version_Sub",
                                   L"Revision", L"ContentSha256", L"ContentBytes"}));
    EXPECT_EQ(
        ColumnsOf(*db, L"QV_v_DMAuthSet"),
        (std::vector<std::wstring>{L"authId", L"DocRepoId", L"UserId", L"RoleId", L"UserOrRole",
                                   L"Read", L"Write", L"Manage", L"UserName"}));
    EXPECT_EQ(ColumnsOf(*db, L"QV_DMBaseline"),
              (std::vector<std::wstring>{L"BaseLineId", L"DocRepoId", L"name", L"BaseLineInfo",
                                         L"BaseLineCreateTime"}));
    EXPECT_EQ(ColumnsOf(*db, L"QV_CaxForm"),
              (std::vector<std::wstring>{L"rcId", L"revision", L"DocId", L"CaxDocType"}));
    // The lookups the library runs use an index rather than a scan.
    auto plan = Query(
        *db, L"explain query plan select * from QV_DMDoc where DocRepoId = 1 order by phyurl asc");
    std::wstring detail;
    for (; !plan->IsEOF(); plan->MoveNext()) detail += plan->GetString(L"detail") + L"\n";
    EXPECT_NE(detail.find(L"USING INDEX"), std::wstring::npos) << zub::WideToUtf8(detail);
    EXPECT_EQ(detail.find(L"TEMP B-TREE"), std::wstring::npos) << zub::WideToUtf8(detail);
}

TEST(ProductStore, AnotherProductDatabaseName) {
    zub::testsupport::TempDir tmp;
    std::wstring error;
    ASSERT_EQ(ProductStore::Create(tmp.str(), "Plant", error), 0) << zub::WideToUtf8(error);
    EXPECT_EQ(FilesIn(tmp.path()),
              (std::set<std::string>{"Plant.sqlite3", "QVSystem.sqlite3", "files"}));
    auto db = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
        ZUBDB::QVSvrInfo(ZUBDB::EmbeddedLocator(tmp.str()), 0, L"Plant", L""), L"");
    ASSERT_TRUE(db);
    EXPECT_EQ(Query(*db, L"select UserName from QV_User")->GetStringAt(0), L"system");
}

TEST(ProductStore, AStoreOfAnEarlierVersionGetsTheNewColumnAndIndexes) {
    zub::testsupport::TempDir tmp;
    std::wstring error;
    ASSERT_EQ(ProductStore::Create(tmp.str(), "QVData", error), 0);
    const fs::path file = tmp.path() / "QVData.sqlite3";
    {
        auto db = Open(file);
        ASSERT_TRUE(db);
        // Back to the earlier schema: no column, no unique indexes.
        for (const wchar_t* sql : {L"drop index QV_DMDoc_File", L"drop index QV_DMRepo_Name",
                                   L"drop index QV_DMBaseline_Name", L"drop index QV_Role_RoleName",
                                   L"alter table QV_DMDoc drop column ChangeStamp",
                                   L"alter table QV_DMDoc drop column PendingFile"})
            Query(*db, sql);
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    auto db = Open(file);
    ASSERT_TRUE(db);
    const auto columns = ColumnsOf(*db, L"QV_DMDoc");
    ASSERT_GE(columns.size(), 2u);
    EXPECT_EQ(columns[columns.size() - 2], L"PendingFile");
    EXPECT_EQ(columns.back(), L"ChangeStamp");
    auto rs = Query(*db,
                    L"select count(*) from sqlite_master where type='index' and name in "
                    L"('QV_DMDoc_File','QV_DMRepo_Name','QV_DMBaseline_Name',"
                    L"'QV_Role_RoleName')");
    EXPECT_EQ(rs->GetIntAt(0), 4);
}

TEST(ProductStore, AnEarlierSystemDatabaseGetsAnEmptyStoreId) {
    zub::testsupport::TempDir tmp;
    std::wstring error;
    ASSERT_EQ(ProductStore::Create(tmp.str(), "QVData", error), 0);
    const fs::path file = tmp.path() / "QVSystem.sqlite3";
    {
        auto db = Open(file);
        ASSERT_TRUE(db);
        Query(*db, L"alter table QV_SysInfo drop column StoreId");
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    auto db = Open(file);
    ASSERT_TRUE(db);
    EXPECT_EQ(ColumnsOf(*db, L"QV_SysInfo").back(), L"StoreId");
    auto rs = Query(*db, L"select sysPwd, StoreId from QV_SysInfo");
    EXPECT_EQ(rs->GetStringAt(0).size(), 32u);
    EXPECT_EQ(rs->GetStringAt(1), L"");
}

TEST(ProductStore, TheSystemDatabaseNameIsNotAProductDatabaseName) {
    zub::testsupport::TempDir tmp;
    std::wstring error;
    EXPECT_NE(ProductStore::Create(tmp.str(), ProductStore::kSystemDb, error), 0);
    EXPECT_NE(error.find(L"QVSystem"), std::wstring::npos) << zub::WideToUtf8(error);
    EXPECT_TRUE(FilesIn(tmp.path()).empty());
}

// Only the product database serves the procedures and is upgraded; the system
// database of the same store is served by its own part.
TEST(ProductStore, EachDatabaseIsServedByItsOwnPart) {
    TempProductStore store;
    auto system = store.Connect(L"QVSystem");
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_NE(system->ExecuteSql(rs, L"QV_p_DMGetUserAuths 1", ZUBDB::QVParams(false), L"", 0, 0),
              0);
    EXPECT_NE(system->errDescription().find(L"syntax error"), std::wstring::npos)
        << zub::WideToUtf8(system->errDescription());
    auto product = store.Connect();
    EXPECT_EQ(Query(*product, L"QV_p_DMGetUserAuths 1")->GetRecordCount(), 0);
}

TEST(ProductStore, RegisterMakesEmbeddedStoresOpenAsProductStores) {
    TempProductStore store;
    const std::wstring locator = ZUBDB::EmbeddedLocator(store.dir());
    auto& creator = ZUBDB::CDBAccessorCreator::instance();

    ZUBDB::RegisterEmbeddedStore(L"sqlite", nullptr);
    EXPECT_FALSE(creator.CreateAccessor(ZUBDB::QVSvrInfo(locator, 0, L"QVData", L""), L""));
    EXPECT_NE(creator.LastError().find(L"no store definition"), std::wstring::npos)
        << zub::WideToUtf8(creator.LastError());

    ProductStore::Register();
    ProductStore::Register();
    EXPECT_EQ(ZUBDB::FindEmbeddedStore(L"SQLite"), ProductStore::Definition());
    auto db = creator.CreateAccessor(ZUBDB::QVSvrInfo(locator, 0, L"QVData", L""), L"");
    ASSERT_TRUE(db) << zub::WideToUtf8(creator.LastError());
    EXPECT_EQ(Query(*db, L"GetNewId 1,1")->GetRecordCount(), 0);
}

// Names that differ only in case are one user; a second spelling is refused.
TEST(ProductStore, UserNamesAreUniqueIgnoringCase) {
    TempProductStore store;
    auto db = store.Connect();
    const struct {
        const wchar_t* name;
        bool accepted;
    } rows[] = {{L"carol", true},
                {L"Carol", false},
                {L"CAROL", false},
                {L"SYSTEM", false},
                {L"carol2", true}};
    for (const auto& row : rows) {
        ZUBDB::QVParams p;
        Add(p, L"UserName", row.name);
        EXPECT_EQ(db->InsertRow(L"QV_User", p, L"", L"") == 0, row.accepted)
            << zub::WideToUtf8(row.name);
        db->CommitTrans();
    }
}

// An older store that already holds two spellings of one name still opens;
// the index comes once the names are made distinct.
TEST(ProductStore, AStoreWithCaseDuplicateUsersOpensAndGetsTheIndexLater) {
    zub::testsupport::TempDir tmp;
    std::wstring error;
    ASSERT_EQ(ProductStore::Create(tmp.str(), "QVData", error), 0);
    const fs::path file = tmp.path() / "QVData.sqlite3";
    const std::wstring hasIndex =
        L"select count(*) from sqlite_master where name='QV_User_UserName'";
    {
        auto db = Open(file);
        ASSERT_TRUE(db);
        Query(*db, L"drop index QV_User_UserName");
        Query(*db, L"insert into QV_User (UserName) values ('Carol'), ('carol')");
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    {
        auto db = Open(file);
        ASSERT_TRUE(db);
        EXPECT_EQ(Query(*db, hasIndex)->GetIntAt(0), 0);
        Query(*db, L"update QV_User set UserName = 'carol2' where UserName = 'carol'");
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    auto db = Open(file);
    ASSERT_TRUE(db);
    EXPECT_EQ(Query(*db, hasIndex)->GetIntAt(0), 1);
}

// A store that has every earlier step but the change stamp gets it alone;
// rows it holds carry stamp 0 and stay usable.
TEST(ProductStore, AStoreWithoutTheChangeStampGetsIt) {
    zub::testsupport::TempDir tmp;
    std::wstring error;
    ASSERT_EQ(ProductStore::Create(tmp.str(), "QVData", error), 0);
    const fs::path file = tmp.path() / "QVData.sqlite3";
    {
        auto db = Open(file);
        ASSERT_TRUE(db);
        Query(*db, L"insert into QV_DMRepo (Name) values ('r')");
        Query(*db,
              L"insert into QV_DMDoc (DocRepoId, Name) values "
              L"((select max(DocRepoId) from QV_DMRepo), 'kept')");
        Query(*db, L"alter table QV_DMDoc drop column ChangeStamp");
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    auto db = Open(file);
    ASSERT_TRUE(db);
    const auto columns = ColumnsOf(*db, L"QV_DMDoc");
    EXPECT_NE(std::find(columns.begin(), columns.end(), L"ChangeStamp"), columns.end());
    EXPECT_EQ(Query(*db, L"select ChangeStamp from QV_DMDoc where Name = 'kept'")->GetIntAt(0, -1),
              0);
}

// Rows of a store made before the sums and sizes keep their values and get an
// empty sum and an unknown size after the columns they had; the baselines'
// file list is made.
TEST(ProductStore, AStoreWithoutContentSumsGetsThemAppended) {
    zub::testsupport::TempDir tmp;
    std::wstring error;
    ASSERT_EQ(ProductStore::Create(tmp.str(), "QVData", error), 0);
    const fs::path file = tmp.path() / "QVData.sqlite3";
    {
        auto db = Open(file);
        ASSERT_TRUE(db);
        for (const wchar_t* sql :
             {L"drop table ZUB_DMBaselineFile", L"alter table QV_DMDoc drop column ContentBytes",
              L"alter table QV_DMDocVer drop column ContentBytes",
              L"alter table QV_DMDoc drop column ContentSha256",
              L"alter table QV_DMDocVer drop column ContentSha256",
              L"insert into QV_DMRepo (Name) values ('r')",
              L"insert into QV_DMDoc (DocRepoId, Name, Ext, PendingFile) values (1, 'a', 'prt', "
              L"'x')",
              L"insert into QV_DMDocVer (DocId, DocName, Revision) values (1, '1_1.0.prt', 3)"})
            Query(*db, sql);
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    auto db = Open(file);
    ASSERT_TRUE(db);
    for (const wchar_t* table : {L"QV_DMDoc", L"QV_DMDocVer"}) {
        const auto columns = ColumnsOf(*db, table);
        ASSERT_GE(columns.size(), 2u);
        EXPECT_EQ(columns[columns.size() - 2], L"ContentSha256") << zub::WideToUtf8(table);
        EXPECT_EQ(columns.back(), L"ContentBytes") << zub::WideToUtf8(table);
    }
    auto doc = Query(*db, L"select PendingFile, ContentSha256, ContentBytes from QV_DMDoc");
    EXPECT_EQ(doc->GetStringAt(0), L"x");
    EXPECT_EQ(doc->GetStringAt(1), L"");
    EXPECT_EQ(doc->GetIntAt(2), -1);
    auto ver = Query(*db, L"select Revision, ContentSha256, ContentBytes from QV_DMDocVer");
    EXPECT_EQ(ver->GetIntAt(0), 3);
    EXPECT_EQ(ver->GetStringAt(1), L"");
    EXPECT_EQ(ver->GetIntAt(2), -1);
    EXPECT_EQ(
        ColumnsOf(*db, L"ZUB_DMBaselineFile"),
        (std::vector<std::wstring>{L"BaseLineId", L"Path", L"ContentSha256", L"ContentBytes"}));
}

// A store made before the audit trail gets the tables a new store has, and
// with them the rule of one delete entry per document.
TEST(ProductStore, AStoreWithoutAnAuditTrailGetsOne) {
    zub::testsupport::TempDir tmp;
    std::wstring error;
    ASSERT_EQ(ProductStore::Create(tmp.str(), "QVData", error), 0);
    const fs::path file = tmp.path() / "QVData.sqlite3";
    std::vector<std::wstring> fresh;
    {
        auto db = Open(file);
        ASSERT_TRUE(db);
        fresh = ColumnsOf(*db, L"ZUB_AuditTrail");
        Query(*db, L"drop table ZUB_AuditTrail");
        Query(*db, L"drop table ZUB_InactiveUser");
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    auto db = Open(file);
    ASSERT_TRUE(db);
    EXPECT_EQ(ColumnsOf(*db, L"ZUB_AuditTrail"), fresh);
    EXPECT_EQ(ColumnsOf(*db, L"ZUB_InactiveUser"),
              (std::vector<std::wstring>{L"UserId", L"Since"}));
    ASSERT_EQ(fresh.size(), 12u);
    Query(*db, L"insert into ZUB_AuditTrail (Action, DocId) values ('delete', 7)");
    Query(*db, L"insert into ZUB_AuditTrail (Action, DocId) values ('rename', 7)");
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    EXPECT_NE(db->ExecuteSql(rs, L"insert into ZUB_AuditTrail (Action, DocId) values ('delete', 7)",
                             ZUBDB::QVParams(false), L"", 0, 0),
              0);
}

// What the library reads through the schema: the rights view names the user
// of a user row and the role of a role row; a document needs its repository.
TEST(ProductStore, AuthViewNamesTheUserOrTheRoleAndADocumentNeedsItsRepository) {
    TempProductStore store;
    auto db = store.Connect();
    for (const wchar_t* sql :
         {L"insert into QV_DMRepo (VersionStraId, Name, Server, Port, Directory, CreatorId, "
          L"CreatorName, CreateTime) values (1, 'r', 'file:/srv', 0, 'd', 1, 'system', getdate())",
          L"insert into QV_Role (RoleName) values ('审核')",
          L"insert into QV_DMAuth (DocRepoId, UserOrRole, UserId, RoleId, [Read], Write, Manage) "
          L"values (1, 0, 1, 0, 1, 1, 0)",
          L"insert into QV_DMAuth (DocRepoId, UserOrRole, UserId, RoleId, [Read], Write, Manage) "
          L"values (1, 1, 0, 1, 1, 0, 1)"})
        Query(*db, sql);
    ASSERT_EQ(db->CommitTrans(), 0) << zub::WideToUtf8(db->errDescription());

    auto rs = Query(*db,
                    L"select UserId, RoleId, [Read], Write, Manage, UserName "
                    L"from QV_v_DMAuthSet where DocRepoId = 1 order by authId");
    ASSERT_EQ(rs->GetRecordCount(), 2);
    EXPECT_EQ(rs->GetIntAt(0), 1);
    EXPECT_EQ(rs->GetIntAt(4), 0);
    EXPECT_EQ(rs->GetStringAt(5), L"system");
    rs->MoveNext();
    EXPECT_EQ(rs->GetIntAt(1), 1);
    EXPECT_EQ(rs->GetIntAt(4), 1);
    EXPECT_EQ(rs->GetStringAt(5), L"审核");

    ZUBDB::QVParams orphan(false);
    Add(orphan, L"DocRepoId", 77);
    EXPECT_EQ(db->InsertRow(L"QV_DMDoc", orphan, L"", L""), SQLITE_CONSTRAINT_FOREIGNKEY);
}

TEST(ProductStoreOnServer, MakesTheStoreOnceAndRefusesDatabasesHoldingAnythingElse) {
    TempProductStore store(Backend::Server);
    auto db = store.Connect();
    auto rs = Query(*db, L"select UserId, UserName from QV_User");
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_EQ(rs->GetStringAt(1), L"system");
    // The starting rows left the key generators behind them.
    auto v = ZUBDB::QVParams(false);
    Add(v, L"UserName", L"alice");
    ASSERT_EQ(db->InsertRow(L"QV_User", v, L"", L""), 0) << zub::WideToUtf8(db->errDescription());
    EXPECT_EQ(db->LastInsertId(), 2);
    ASSERT_EQ(db->CommitTrans(), 0);
    auto system = store.Connect(L"QVSystem");
    EXPECT_EQ(Query(*system, L"select sysPwd from QV_SysInfo")->GetStringAt(0).size(), 32u);

    // Making it again finds it and changes nothing.
    bool existed = false;
    std::wstring error;
    EXPECT_EQ(vaultschema::ProductStore::CreateOnServer(store.Place(), "QVData", existed, error), 0)
        << zub::WideToUtf8(error);
    EXPECT_TRUE(existed);
    EXPECT_EQ(Query(*db, L"select count(*) from QV_User")->GetIntAt(0), 2);

    // A product database beside a system database of another store, or one
    // holding someone else's tables, is refused.
    const auto& cluster = zub::testsupport::PgCluster::Shared();
    cluster.RecreateDatabase("QVOther");
    EXPECT_NE(vaultschema::ProductStore::CreateOnServer(store.Place(), "QVOther", existed, error),
              0);
    EXPECT_NE(error.find(L"different store"), std::wstring::npos) << zub::WideToUtf8(error);
    cluster.Exec("CREATE TABLE payroll (a int)", "QVOther");
    EXPECT_NE(vaultschema::ProductStore::CreateOnServer(store.Place(), "QVOther", existed, error),
              0);
    EXPECT_NE(error.find(L"QVOther already holds tables"), std::wstring::npos)
        << zub::WideToUtf8(error);
    EXPECT_EQ(Query(*db, L"select count(*) from QV_User")->GetIntAt(0), 2);
    cluster.DropDatabase("QVOther");
}

// A server store made before the newer columns and tables gets them when a
// workstation connects, with the rule of one delete entry per document.
TEST(ProductStoreOnServer, AnOlderStoreIsBroughtUpToDateOnConnecting) {
    TempProductStore store(Backend::Server);
    {
        auto db = store.Connect();
        for (const wchar_t* sql : {L"drop table ZUB_AuditTrail", L"drop table ZUB_InactiveUser",
                                   L"alter table QV_DMDoc drop column ContentBytes"})
            Query(*db, sql);
        ASSERT_EQ(db->CommitTrans(), 0);
    }
    // As a program started after the change finds it.
    ZUBDB::CloseIdleServerConnections();
    auto db = store.Connect();
    const auto count = [&](const std::wstring& sql) { return Query(*db, sql)->GetIntAt(0); };
    EXPECT_EQ(count(L"select count(*) from information_schema.columns where table_name = "
                    L"'qv_dmdoc' and column_name = 'contentbytes'"),
              1);
    EXPECT_EQ(count(L"select count(*) from ZUB_InactiveUser"), 0);
    auto entry = ZUBDB::QVParams(false);
    Add(entry, L"Action", L"delete");
    Add(entry, L"DocId", 7);
    ASSERT_EQ(db->InsertRow(L"ZUB_AuditTrail", entry, L"", L""), 0)
        << zub::WideToUtf8(db->errDescription());
    EXPECT_NE(db->InsertRow(L"ZUB_AuditTrail", entry, L"", L""), 0);
    ASSERT_EQ(db->CommitTrans(), 0);
    EXPECT_EQ(count(L"select count(*) from ZUB_AuditTrail"), 1);
}

// Workstations connecting to an older store at once: one brings it up to
// date, the others wait for it and find it done.
TEST(ProductStoreOnServer, WorkstationsConnectingAtOnceUpgradeAnOlderStoreOnce) {
    constexpr int kWorkstations = 6;
    TempProductStore store(Backend::Server);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        {
            auto db = store.Connect();
            for (const wchar_t* sql : {L"drop table ZUB_AuditTrail", L"drop table ZUB_InactiveUser",
                                       L"alter table QV_DMDoc drop column ContentBytes",
                                       L"alter table QV_DMDocVer drop column ContentSha256"})
                Query(*db, sql);
            ASSERT_EQ(db->CommitTrans(), 0);
        }
        ZUBDB::CloseIdleServerConnections();
        std::mutex mutex;
        std::condition_variable go;
        bool released = false;
        std::vector<std::wstring> errors(kWorkstations);
        std::vector<std::thread> workstations;
        for (int i = 0; i < kWorkstations; ++i)
            workstations.emplace_back([&, i] {
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    go.wait(lock, [&] { return released; });
                }
                try {
                    store.Connect();
                } catch (const std::exception& e) {
                    errors[static_cast<std::size_t>(i)] = zub::Utf8ToWide(e.what());
                }
            });
        {
            std::lock_guard<std::mutex> lock(mutex);
            released = true;
        }
        go.notify_all();
        for (auto& t : workstations) t.join();
        EXPECT_EQ(errors, std::vector<std::wstring>(kWorkstations));

        auto db = store.Connect();
        ASSERT_TRUE(db);
        EXPECT_EQ(Query(*db,
                        L"select count(*) from information_schema.columns where "
                        L"table_name in ('qv_dmdoc', 'qv_dmdocver') and column_name "
                        L"in ('contentbytes', 'contentsha256')")
                      ->GetIntAt(0),
                  4);
        EXPECT_EQ(Query(*db, L"select count(*) from ZUB_InactiveUser")->GetIntAt(0), 0);
    }
}

}  // namespace zub::vaultschema::test
