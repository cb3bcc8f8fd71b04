#include <gtest/gtest.h>
#include <sqlite3.h>

#include <new>
#include <stdexcept>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvsvrinfo.h"
#include "dbcore/sqliteerror.h"
#include "sqliteaccessor.h"
#include "testsupport.h"
#include "zub/qv_exception.h"
#include "zub/text.h"

using zub::dbcore::test::Add;
using zub::dbcore::test::Params;
using ZUBDB::CDBAccessor;
using ZUBDB::CDBRecordset;
using ZUBDB::DBValue;
using ZUBDB::ProcedureKind;
using ZUBDB::SqliteAccessor;
using ZUBDB::SqliteError;
using ZUBDB::SqliteProcedure;
using ZUBDB::SqliteProcedureRegistry;
using ZUBDB::SqliteSession;

namespace {

// Adds a person, then throws whatever `fail` throws.
SqliteProcedure Failing(void (*fail)()) {
    return {ProcedureKind::Writes, [fail](SqliteSession& s, const std::vector<DBValue>&) {
                s.Execute("INSERT INTO Person (Name) VALUES ('x')", {});
                fail();
                return CDBRecordset();
            }};
}

const struct {
    const wchar_t* name;
    void (*fail)();
    int code;
    const wchar_t* text;
} kFailures[] = {
    {L"ThrowsStd", [] { throw std::runtime_error("disk on fire"); }, SQLITE_ERROR, L"disk on fire"},
    {L"ThrowsFault",
     [] { throw ZUBBASE::QV_Exception(L"EXCEPTION_ACCESS_VIOLATION", L"", L"", 0); }, SQLITE_ERROR,
     L"EXCEPTION_ACCESS_VIOLATION"},
    {L"ThrowsMemory", [] { throw std::bad_alloc(); }, SQLITE_NOMEM, L"out of memory"},
    {L"ThrowsInt", [] { throw 42; }, SQLITE_ERROR, L"unknown exception"},
};

std::shared_ptr<ZUBDB::StoreDefinition> Definition() {
    auto store = std::make_shared<ZUBDB::StoreDefinition>();
    store->main.sqliteSchema = "CREATE TABLE Person (Id INTEGER PRIMARY KEY, Name TEXT);";
    auto& procedures = store->main.procedures;
    procedures.Register(
        L"Echo", {ProcedureKind::ReadOnly, [](SqliteSession&, const std::vector<DBValue>& args) {
                      CDBRecordset rs({L"arg"});
                      for (const auto& a : args) rs.AddRow({a});
                      return rs;
                  }});
    // Adds a person, then fails when told to: its own part must not stay.
    procedures.Register(
        L"AddPerson",
        {ProcedureKind::Writes, [](SqliteSession& s, const std::vector<DBValue>& args) {
             s.Execute("INSERT INTO Person (Name) VALUES (?)", {args.at(0)});
             if (std::get<long long>(args.at(1)) != 0)
                 throw SqliteError(SQLITE_ABORT, "told to fail");
             return CDBRecordset();
         }});
    for (const auto& f : kFailures) procedures.Register(f.name, Failing(f.fail));
    return store;
}

class SqliteProcedures : public ::testing::Test {
protected:
    SqliteProcedures() {
        ZUBDB::RegisterEmbeddedStore(L"proc", Definition());
        std::wstring error;
        if (ZUBDB::CreateEmbeddedStore(dir.str(), *Definition(), "Main", error) != 0)
            throw std::runtime_error(zub::WideToUtf8(error));
        db = Connect();
    }
    ~SqliteProcedures() override { ZUBDB::RegisterEmbeddedStore(L"proc", nullptr); }

    std::unique_ptr<CDBAccessor> Connect() const {
        return ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(L"proc:" + zub::Utf8ToWide(dir.str()), 0, L"Main", L""), L"");
    }

    std::string Err() const { return zub::WideToUtf8(db->errDescription()); }

    std::unique_ptr<CDBRecordset> Exec(const std::wstring& sql,
                                       const ZUBDB::QVParams& p = Params()) {
        std::unique_ptr<CDBRecordset> rs;
        EXPECT_EQ(db->ExecuteSql(rs, sql, p, L"", 0, 0), 0) << Err();
        return rs;
    }

    long Count(const std::wstring& name) {
        auto where = Params();
        Add(where, L"Name", name);
        std::unique_ptr<CDBRecordset> r;
        EXPECT_EQ(db->SelectRows(r, L"Person", L"count(*)", where, L"", L"", L"", 0, 0), 0)
            << Err();
        return r ? r->GetIntAt(0) : -1;
    }

    zub::testsupport::TempDir dir;
    std::unique_ptr<CDBAccessor> db;
};

}  // namespace

TEST_F(SqliteProcedures, AnUnknownFirstWordIsPlainSql) {
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_EQ(db->ExecuteSql(rs, L"NoSuchProcedure 1,2", Params(), L"", 0, 0), SQLITE_ERROR);
    EXPECT_NE(db->errDescription().find(L"syntax error"), std::wstring::npos) << Err();
}

// Whatever a procedure throws comes back as a status with its text, and the
// unit it opened is gone.
TEST_F(SqliteProcedures, NoExceptionLeavesTheAccessor) {
    auto& sqlite = dynamic_cast<SqliteAccessor&>(*db);
    for (const auto& c : kFailures) {
        SCOPED_TRACE(zub::WideToUtf8(c.name));
        std::unique_ptr<CDBRecordset> rs;
        EXPECT_EQ(db->ExecuteSql(rs, c.name, Params(), L"", 0, 0), c.code);
        EXPECT_EQ(db->errNumber(), c.code);
        EXPECT_NE(db->errDescription().find(c.text), std::wstring::npos) << Err();
        EXPECT_FALSE(sqlite.InTransaction());
    }
    EXPECT_EQ(Count(L"x"), 0);
}

TEST_F(SqliteProcedures, RegisteredProceduresRunAndFollowTheirKind) {
    auto p = Params();
    Add(p, L"a", L"x");
    auto rs = Exec(L"Echo ?, 7", p);
    ASSERT_EQ(rs->GetRecordCount(), 2);
    EXPECT_EQ(rs->GetStringAt(0), L"x");
    rs->MoveNext();
    EXPECT_EQ(rs->GetIntAt(0), 7);

    auto& sqlite = dynamic_cast<SqliteAccessor&>(*db);

    // A writing procedure opens the unit like a table write...
    Exec(L"AddPerson 'w1', 0");
    EXPECT_TRUE(sqlite.InTransaction());
    ASSERT_EQ(db->RollbackTrans(), 0);
    EXPECT_EQ(Count(L"w1"), 0);

    // ...and failing alone, it leaves nothing behind and no unit open.
    std::unique_ptr<CDBRecordset> none;
    EXPECT_EQ(db->ExecuteSql(none, L"AddPerson 'w2', 1", Params(), L"", 0, 0), SQLITE_ABORT);
    EXPECT_FALSE(sqlite.InTransaction());
    EXPECT_EQ(Count(L"w2"), 0);

    // Inside an open unit it undoes only its own part.
    ASSERT_EQ(db->BeginTrans(), 0);
    Exec(L"addperson 'w3', 0");
    EXPECT_EQ(db->ExecuteSql(none, L"AddPerson 'w4', 1", Params(), L"", 0, 0), SQLITE_ABORT);
    EXPECT_TRUE(sqlite.InTransaction());
    ASSERT_EQ(db->CommitTrans(), 0);
    EXPECT_EQ(Count(L"w3"), 1);
    EXPECT_EQ(Count(L"w4"), 0);
}

TEST(SqliteProcedureRegistry, NamesIgnoreCaseAndALaterOneReplaces) {
    SqliteProcedureRegistry registry;
    const auto kindOf = [&](const wchar_t* name) {
        auto found = registry.Find(name);
        return found ? static_cast<int>(found->kind) : -1;
    };
    registry.Register(L"Echo", {ProcedureKind::ReadOnly, nullptr});
    EXPECT_EQ(kindOf(L"ECHO"), static_cast<int>(ProcedureKind::ReadOnly));
    registry.Register(L"echo", {ProcedureKind::Writes, nullptr});
    EXPECT_EQ(kindOf(L"Echo"), static_cast<int>(ProcedureKind::Writes));
    EXPECT_EQ(kindOf(L"Other"), -1);
    registry.Unregister(L"eCHO");
    EXPECT_EQ(kindOf(L"Echo"), -1);
}
