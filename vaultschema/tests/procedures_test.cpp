#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cwctype>

#include "pgaccessor.h"
#include "pgerror.h"
#include "productstorehelpers.h"
#include "sqliteaccessor.h"
#include "zub/text.h"

namespace zub::vaultschema::test {

using ZUBDB::CDBAccessor;
using ZUBDB::CDBRecordset;
using ZUBDB::SqliteAccessor;

namespace {

ZUBDB::QVParams Params() { return ZUBDB::QVParams(false); }

bool InTransaction(CDBAccessor& db) {
    if (auto* embedded = dynamic_cast<SqliteAccessor*>(&db)) return embedded->InTransaction();
    return dynamic_cast<ZUBDB::PgAccessor&>(db).InTransaction();
}

std::wstring Folded(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

long ServerNumber(const char* sqlState) { return ZUBDB::PgError::NumberOf(sqlState); }

class ProductProcedures : public ::testing::TestWithParam<Backend> {
protected:
    TempProductStore store{GetParam()};
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

TEST_P(ProductProcedures, GetNewIdHandsOutIdsDurably) {
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
    EXPECT_FALSE(InTransaction(*db));
    auto other = store.Connect();
    EXPECT_EQ(CounterValue(*other, 5), 105);
}

TEST_P(ProductProcedures, GetNewIdOfAnUndefinedCounterReturnsNoRow) {
    auto rs = Exec(L"GetNewId 9,1");
    EXPECT_EQ(rs->GetRecordCount(), 0);
    EXPECT_EQ(rs->GetIntAt(0, -1), -1);
}

TEST_P(ProductProcedures, GetNewIdJoinsAnOpenUnit) {
    Exec(L"insert into QV_IdCounter (IdName, LastId) values (1, 0)");
    ASSERT_EQ(db->CommitTrans(), 0);
    ASSERT_EQ(db->BeginTrans(), 0);
    EXPECT_EQ(Exec(L"GetNewId 1,1")->GetIntAt(0), 1);
    EXPECT_TRUE(InTransaction(*db));
    ASSERT_EQ(db->RollbackTrans(), 0);
    EXPECT_EQ(Exec(L"GetNewId 1,1")->GetIntAt(0), 1);
}

TEST_P(ProductProcedures, GetNewIdRefusesBadArguments) {
    const bool embedded = GetParam() == Backend::Embedded;
    std::unique_ptr<CDBRecordset> rs;
    // Server: invalid parameter value, no such function, not a number.
    EXPECT_EQ(db->ExecuteSql(rs, L"GetNewId 1,0", Params(), L"", 0, 0),
              embedded ? SQLITE_RANGE : ServerNumber("22023"));
    EXPECT_NE(db->errDescription().find(L"n must be at least 1"), std::wstring::npos) << Err();
    EXPECT_EQ(db->ExecuteSql(rs, L"GetNewId 1", Params(), L"", 0, 0),
              embedded ? SQLITE_RANGE : ServerNumber("42883"));
    EXPECT_EQ(db->ExecuteSql(rs, L"GetNewId 'a',1", Params(), L"", 0, 0),
              embedded ? SQLITE_MISMATCH : ServerNumber("22P02"));
    EXPECT_EQ(db->ExecuteSql(rs, L"GetNewId ?,?", Params(), L"", 0, 0), SQLITE_ERROR);
    EXPECT_EQ(rs, nullptr);
}

TEST_P(ProductProcedures, UserRightsCombineOwnAndRoleRowsPerRepository) {
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
    ASSERT_EQ(rs->Columns().size(), columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i)
        EXPECT_EQ(Folded(rs->Columns()[i]), Folded(columns[i]));
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
    EXPECT_FALSE(InTransaction(*db));
}

INSTANTIATE_TEST_SUITE_P(Backends, ProductProcedures,
                         ::testing::Values(Backend::Embedded, Backend::Server), BackendName);

}  // namespace zub::vaultschema::test
