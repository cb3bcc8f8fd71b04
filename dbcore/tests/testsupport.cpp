#include "testsupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvsvrinfo.h"
#include "dbcore/sqlitesession.h"
#include "dbcore/storedefinition.h"
#include "zub/text.h"

namespace zubtest {

namespace {

// A small store of the tests' own, with what the accessor is tested on:
// autoincrement keys, a foreign key, defaults, a view joining three tables,
// bracketed and mixed-case names, and a fixed database beside the main one.
constexpr const char* kSchema = R"sql(
CREATE TABLE Person (PersonId INTEGER PRIMARY KEY AUTOINCREMENT,
                     PersonName TEXT NOT NULL DEFAULT '');
CREATE TABLE Team (TeamId INTEGER PRIMARY KEY AUTOINCREMENT, TeamName TEXT NOT NULL);
CREATE TABLE PersonTeam (PersonId INTEGER NOT NULL, TeamId INTEGER NOT NULL,
                         PRIMARY KEY (PersonId, TeamId));
CREATE TABLE Shelf (ShelfId INTEGER PRIMARY KEY AUTOINCREMENT, NumberingId INTEGER,
                    [Name] TEXT, [Server] TEXT, Port INTEGER, Directory TEXT,
                    CreatorId INTEGER, CreatorName TEXT, CreateTime REAL);
CREATE TABLE Item (ItemId INTEGER PRIMARY KEY AUTOINCREMENT,
                   ShelfId INTEGER REFERENCES Shelf (ShelfId), Name TEXT, Ext TEXT,
                   CurrentVersion TEXT, CurrentState INTEGER, CurrentOperatorId INTEGER,
                   CurrentOperatorName TEXT NOT NULL DEFAULT '', CreatorId INTEGER,
                   CreatorName TEXT, ItemCreateTime REAL, LastOperatorId INTEGER,
                   LastOperatorName TEXT, LastOperateTime REAL, PhyUrl TEXT);
CREATE TABLE ItemVer (ItemVerId INTEGER PRIMARY KEY AUTOINCREMENT, ItemId INTEGER,
                      BaseLineId INTEGER NOT NULL DEFAULT 0, ItemName TEXT, OperatorId INTEGER,
                      OperatorName TEXT, OperatorTime REAL, OperateInfo TEXT, Action INTEGER,
                      PhyUrl TEXT, Version_Main INTEGER, Version_Sub INTEGER, Revision INTEGER,
                      ContentSha256 TEXT);
CREATE TABLE ShelfGrant (GrantId INTEGER PRIMARY KEY AUTOINCREMENT, ShelfId INTEGER,
                         PersonId INTEGER, TeamId INTEGER, PersonOrTeam INTEGER,
                         [Read] INTEGER, Write INTEGER, Manage INTEGER);
CREATE VIEW v_ShelfGrantSet AS
  SELECT g.GrantId, g.ShelfId, g.PersonId, g.TeamId, g.PersonOrTeam, g.[Read], g.Write,
         g.Manage, CASE g.PersonOrTeam WHEN 0 THEN p.PersonName ELSE t.TeamName END AS PersonName
  FROM ShelfGrant g LEFT JOIN Person p ON p.PersonId = g.PersonId
                    LEFT JOIN Team t ON t.TeamId = g.TeamId;
)sql";

std::shared_ptr<ZUBDB::StoreDefinition> TestDefinition() {
    auto store = std::make_shared<ZUBDB::StoreDefinition>();
    store->main.sqliteSchema = kSchema;
    store->main.seed = [](ZUBDB::SqliteSession& db) {
        db.Execute("INSERT INTO Person (PersonName) VALUES ('system')", {});
    };
    auto& system = store->fixed[TempStore::kSystemDb];
    system.sqliteSchema = "CREATE TABLE SysInfo (sysPwd TEXT);";
    system.seed = [](ZUBDB::SqliteSession& db) {
        db.Execute("INSERT INTO SysInfo VALUES ('')", {});
    };
    return store;
}

std::unique_ptr<ZUBDB::CDBAccessor> Open(const std::string& dir, const char* database) {
    ZUBDB::QVSvrInfo server(ZUBDB::EmbeddedLocator(dir), 0, zub::Utf8ToWide(database), L"");
    auto accessor = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(server, L"");
    if (!accessor)
        throw std::runtime_error(
            zub::WideToUtf8(ZUBDB::CDBAccessorCreator::instance().LastError()));
    return accessor;
}

}  // namespace

TempStore::TempStore() {
    // Stores of the embedded scheme, and files opened directly, are the tests' own.
    auto definition = TestDefinition();
    ZUBDB::RegisterEmbeddedStore(L"sqlite", definition);
    std::wstring error;
    int rc = ZUBDB::CreateEmbeddedStore(dir_.str(), *definition, kDataDb, error);
    if (rc != 0) throw std::runtime_error("cannot create a test store: " + zub::WideToUtf8(error));
}

std::string TempStore::dataFile() const {
    return (dir_.path() / (std::string(kDataDb) + ".sqlite3")).string();
}

std::unique_ptr<ZUBDB::CDBAccessor> TempStore::Connect() const { return Open(dir(), kDataDb); }

std::unique_ptr<ZUBDB::CDBAccessor> TempStore::ConnectSystem() const {
    return Open(dir(), kSystemDb);
}

ZUBDB::QVParams Params() { return ZUBDB::QVParams(false); }

ZUBDB::QVParams& Add(ZUBDB::QVParams& p, const std::wstring& column, long long value) {
    p.AddParam(static_cast<long>(p.size()), column, value, false, L"=");
    return p;
}

ZUBDB::QVParams& Add(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& value) {
    p.AddParam(static_cast<long>(p.size()), column, value, false, false, L"=");
    return p;
}

ZUBDB::QVParams& AddRaw(ZUBDB::QVParams& p, const std::wstring& column, const std::wstring& expr) {
    p.AddParam(static_cast<long>(p.size()), column, expr, true, false, L"=");
    return p;
}

}  // namespace zubtest
