#include <gtest/gtest.h>
#include <sqlite3.h>

#include <new>
#include <stdexcept>

#include "dbcore/sqliteaccessor.h"
#include "dbcore/sqliteerror.h"
#include "dbcore/sqliteprocedureregistry.h"
#include "testsupport.h"
#include "zub/qv_exception.h"
#include "zub/text.h"

using ZUBDB::CDBAccessor;
using ZUBDB::CDBRecordset;
using ZUBDB::DBValue;
using ZUBDB::ProcedureKind;
using ZUBDB::SqliteAccessor;
using ZUBDB::SqliteError;
using ZUBDB::SqliteProcedureRegistry;
using ZUBDB::SqliteSession;
using zubtest::Add;
using zubtest::Params;

namespace {

class SqliteProcedures : public ::testing::Test {
protected:
    zubtest::TempStore store;
    std::unique_ptr<CDBAccessor> db = store.Connect();

    std::string Err() const { return zub::WideToUtf8(db->errDescription()); }

    std::unique_ptr<CDBRecordset> Exec(const std::wstring& sql,
                                       const ZUBDB::QVParams& p = Params()) {
        std::unique_ptr<CDBRecordset> rs;
        EXPECT_EQ(db->ExecuteSql(rs, sql, p, L"", 0, 0), 0) << Err();
        return rs;
    }

    long long Insert(const std::wstring& table, const ZUBDB::QVParams& v) {
        EXPECT_EQ(db->InsertRow(table, v, L"", L""), 0) << Err();
        return db->LastInsertId();
    }

    long long Repo(const std::wstring& name) {
        auto v = Params();
        Add(v, L"Name", name);
        return Insert(L"QV_DMRepo", v);
    }

    long long User(const std::wstring& name) {
        auto v = Params();
        Add(v, L"UserName", name);
        return Insert(L"QV_User", v);
    }

    void Grant(long long repo, long long user, long long role, int r, int w, int m) {
        auto v = Params();
        Add(v, L"DocRepoId", repo);
        Add(v, L"UserId", user);
        Add(v, L"RoleId", role);
        Add(v, L"UserOrRole", user != 0 ? 1 : 0);
        Add(v, L"[Read]", r);
        Add(v, L"Write", w);
        Add(v, L"Manage", m);
        Insert(L"QV_DMAuth", v);
    }

    long CounterValue(CDBAccessor& a, long long idName) {
        auto where = Params();
        Add(where, L"IdName", idName);
        std::unique_ptr<CDBRecordset> rs;
        EXPECT_EQ(a.SelectRows(rs, L"QV_IdCounter", L"LastId", where, L"", L"", L"", 0, 0), 0);
        return rs ? rs->GetIntAt(0, -1) : -2;
    }
};

}  // namespace

TEST_F(SqliteProcedures, GetNewIdHandsOutIdsDurably) {
    Exec(L"insert into QV_IdCounter (IdName, LastId) values (5, 100)");
    ASSERT_EQ(db->CommitTrans(), 0);
    auto p = Params();
    Add(p, L"idName", 5);
    Add(p, L"n", 1);
    auto rs = Exec(L"GetNewId ?,?", p);
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_EQ(rs->GetIntAt(0), 101);
    EXPECT_EQ(rs->GetInt(L"NewId"), 101);

    // A block of three starts after the last id.
    auto three = Params();
    Add(three, L"idName", 5);
    Add(three, L"n", 3);
    EXPECT_EQ(Exec(L"GetNewId ?,?", three)->GetIntAt(0), 102);
    EXPECT_EQ(Exec(L"getnewid 5,1")->GetIntAt(0), 105);

    // No unit was left open, and others see the counter at once.
    EXPECT_FALSE(dynamic_cast<SqliteAccessor&>(*db).InTransaction());
    auto other = store.Connect();
    EXPECT_EQ(CounterValue(*other, 5), 105);
}

TEST_F(SqliteProcedures, GetNewIdOfAnUndefinedCounterReturnsNoRow) {
    auto rs = Exec(L"GetNewId 9,1");
    EXPECT_EQ(rs->GetRecordCount(), 0);
    EXPECT_EQ(rs->GetIntAt(0, -1), -1);
}

TEST_F(SqliteProcedures, GetNewIdJoinsAnOpenUnit) {
    Exec(L"insert into QV_IdCounter (IdName, LastId) values (1, 0)");
    ASSERT_EQ(db->CommitTrans(), 0);
    ASSERT_EQ(db->BeginTrans(), 0);
    EXPECT_EQ(Exec(L"GetNewId 1,1")->GetIntAt(0), 1);
    EXPECT_TRUE(dynamic_cast<SqliteAccessor&>(*db).InTransaction());
    ASSERT_EQ(db->RollbackTrans(), 0);
    EXPECT_EQ(Exec(L"GetNewId 1,1")->GetIntAt(0), 1);
}

TEST_F(SqliteProcedures, GetNewIdRefusesBadArguments) {
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_EQ(db->ExecuteSql(rs, L"GetNewId 1,0", Params(), L"", 0, 0), SQLITE_RANGE);
    EXPECT_NE(db->errDescription().find(L"n must be at least 1"), std::wstring::npos) << Err();
    EXPECT_EQ(db->ExecuteSql(rs, L"GetNewId 1", Params(), L"", 0, 0), SQLITE_RANGE);
    EXPECT_EQ(db->ExecuteSql(rs, L"GetNewId 'a',1", Params(), L"", 0, 0), SQLITE_MISMATCH);
    EXPECT_EQ(db->ExecuteSql(rs, L"GetNewId ?,?", Params(), L"", 0, 0), SQLITE_ERROR);
    EXPECT_EQ(rs, nullptr);
}

TEST_F(SqliteProcedures, UserRightsCombineOwnAndRoleRowsPerRepository) {
    long long r1 = Repo(L"one");
    long long r2 = Repo(L"two");
    long long r3 = Repo(L"three");
    long long bob = User(L"bob");
    long long eve = User(L"eve");
    long long carol = User(L"carol");
    Exec(L"insert into QV_Role (RoleName) values ('designers')");
    Exec(L"insert into QV_Role (RoleName) values ('guests')");
    auto link = Params();
    Add(link, L"UserId", bob);
    Add(link, L"RoleId", 1);
    Insert(L"QV_UserRole", link);

    Grant(r1, bob, 0, 1, 0, 0);  // own row
    Grant(r1, 0, 1, 0, 1, 0);    // through designers
    Grant(r2, 0, 1, 1, 0, 1);    // designers only
    Grant(r3, 0, 2, 1, 1, 1);    // guests: bob is not one
    Grant(r3, eve, 0, 1, 1, 1);  // someone else's row
    ASSERT_EQ(db->CommitTrans(), 0);

    auto rs = Exec(L"QV_p_DMGetUserAuths " + std::to_wstring(bob));
    const std::vector<std::wstring> columns = {L"DocRepoId", L"Name", L"Read", L"Write", L"Manage"};
    EXPECT_EQ(rs->Columns(), columns);
    ASSERT_EQ(rs->GetRecordCount(), 2);
    EXPECT_EQ(rs->GetIntAt(0), r1);
    EXPECT_EQ(rs->GetStringAt(1), L"one");
    EXPECT_EQ(rs->GetIntAt(2), 1);
    EXPECT_EQ(rs->GetIntAt(3), 1);
    EXPECT_EQ(rs->GetIntAt(4), 0);
    rs->MoveNext();
    EXPECT_EQ(rs->GetIntAt(0), r2);
    EXPECT_EQ(rs->GetIntAt(2), 1);
    EXPECT_EQ(rs->GetIntAt(3), 0);
    EXPECT_EQ(rs->GetIntAt(4), 1);

    // Only own rows.
    rs = Exec(L"exec qv_p_dmgetuserauths " + std::to_wstring(eve));
    ASSERT_EQ(rs->GetRecordCount(), 1);
    EXPECT_EQ(rs->GetIntAt(0), r3);

    // No rows and no roles: empty, not an error.
    EXPECT_EQ(Exec(L"QV_p_DMGetUserAuths " + std::to_wstring(carol))->GetRecordCount(), 0);
    // Role rows carry UserId 0; id 0 must not pick them up.
    EXPECT_EQ(Exec(L"QV_p_DMGetUserAuths 0")->GetRecordCount(), 0);
    EXPECT_FALSE(dynamic_cast<SqliteAccessor&>(*db).InTransaction());
}

TEST_F(SqliteProcedures, AnUnknownFirstWordIsPlainSql) {
    std::unique_ptr<CDBRecordset> rs;
    EXPECT_EQ(db->ExecuteSql(rs, L"NoSuchProcedure 1,2", Params(), L"", 0, 0), SQLITE_ERROR);
    EXPECT_NE(db->errDescription().find(L"syntax error"), std::wstring::npos) << Err();
}

// Whatever a procedure throws comes back as a status with its text, and the
// unit it opened is gone.
TEST_F(SqliteProcedures, NoExceptionLeavesTheAccessor) {
    auto& registry = SqliteProcedureRegistry::instance();
    const struct {
        const wchar_t* name;
        void (*fail)();
        int code;
        const wchar_t* text;
    } cases[] = {
        {L"ThrowsStd", [] { throw std::runtime_error("disk on fire"); }, SQLITE_ERROR,
         L"disk on fire"},
        {L"ThrowsFault",
         [] { throw ZUBBASE::QV_Exception(L"EXCEPTION_ACCESS_VIOLATION", L"", L"", 0); },
         SQLITE_ERROR, L"EXCEPTION_ACCESS_VIOLATION"},
        {L"ThrowsMemory", [] { throw std::bad_alloc(); }, SQLITE_NOMEM, L"out of memory"},
        {L"ThrowsInt", [] { throw 42; }, SQLITE_ERROR, L"unknown exception"},
    };
    auto& sqlite = dynamic_cast<SqliteAccessor&>(*db);
    for (const auto& c : cases) {
        SCOPED_TRACE(zub::WideToUtf8(c.name));
        auto fail = c.fail;
        registry.Register(
            c.name, {ProcedureKind::Writes, [fail](SqliteSession& s, const std::vector<DBValue>&) {
                         s.Execute("INSERT INTO QV_User (UserName) VALUES ('x')", {});
                         fail();
                         return CDBRecordset();
                     }});
        std::unique_ptr<CDBRecordset> rs;
        EXPECT_EQ(db->ExecuteSql(rs, c.name, Params(), L"", 0, 0), c.code);
        EXPECT_EQ(db->errNumber(), c.code);
        EXPECT_NE(db->errDescription().find(c.text), std::wstring::npos) << Err();
        EXPECT_FALSE(sqlite.InTransaction());
        registry.Unregister(c.name);
    }
}

TEST_F(SqliteProcedures, RegisteredProceduresRunAndFollowTheirKind) {
    auto& registry = SqliteProcedureRegistry::instance();
    registry.Register(
        L"Echo", {ProcedureKind::ReadOnly, [](SqliteSession&, const std::vector<DBValue>& args) {
                      CDBRecordset rs({L"arg"});
                      for (const auto& a : args) rs.AddRow({a});
                      return rs;
                  }});
    // Adds a user, then fails when told to: its own part must not stay.
    registry.Register(
        L"AddUser", {ProcedureKind::Writes, [](SqliteSession& s, const std::vector<DBValue>& args) {
                         s.Execute("INSERT INTO QV_User (UserName) VALUES (?)", {args.at(0)});
                         if (std::get<long long>(args.at(1)) != 0)
                             throw SqliteError(SQLITE_ABORT, "told to fail");
                         return CDBRecordset();
                     }});

    auto p = Params();
    Add(p, L"a", L"x");
    auto rs = Exec(L"Echo ?, 7", p);
    ASSERT_EQ(rs->GetRecordCount(), 2);
    EXPECT_EQ(rs->GetStringAt(0), L"x");
    rs->MoveNext();
    EXPECT_EQ(rs->GetIntAt(0), 7);

    auto& sqlite = dynamic_cast<SqliteAccessor&>(*db);
    auto other = store.Connect();
    auto count = [&](const std::wstring& name) {
        auto where = Params();
        Add(where, L"UserName", name);
        std::unique_ptr<CDBRecordset> r;
        db->SelectRows(r, L"QV_User", L"count(*)", where, L"", L"", L"", 0, 0);
        return r->GetIntAt(0);
    };

    // A writing procedure opens the unit like a table write...
    Exec(L"AddUser 'w1', 0");
    EXPECT_TRUE(sqlite.InTransaction());
    ASSERT_EQ(db->RollbackTrans(), 0);
    EXPECT_EQ(count(L"w1"), 0);

    // ...and failing alone, it leaves nothing behind and no unit open.
    std::unique_ptr<CDBRecordset> none;
    EXPECT_EQ(db->ExecuteSql(none, L"AddUser 'w2', 1", Params(), L"", 0, 0), SQLITE_ABORT);
    EXPECT_FALSE(sqlite.InTransaction());
    EXPECT_EQ(count(L"w2"), 0);

    // Inside an open unit it undoes only its own part.
    ASSERT_EQ(db->BeginTrans(), 0);
    Exec(L"AddUser 'w3', 0");
    EXPECT_EQ(db->ExecuteSql(none, L"AddUser 'w4', 1", Params(), L"", 0, 0), SQLITE_ABORT);
    EXPECT_TRUE(sqlite.InTransaction());
    ASSERT_EQ(db->CommitTrans(), 0);
    EXPECT_EQ(count(L"w3"), 1);
    EXPECT_EQ(count(L"w4"), 0);

    registry.Unregister(L"echo");
    registry.Unregister(L"AddUser");
    EXPECT_FALSE(registry.Find(L"Echo"));
    EXPECT_TRUE(registry.Find(L"GETNEWID"));
}
