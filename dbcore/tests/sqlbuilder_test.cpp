#include <gtest/gtest.h>
#include <sqlite3.h>

#include "dbcore/sqliteerror.h"
#include "sqlbuilder.h"
#include "testsupport.h"

using ZUBDB::DBValue;
using ZUBDB::SqlBuilder;
using ZUBDB::SqliteError;
using zubtest::Add;
using zubtest::AddRaw;
using zubtest::Params;

TEST(SqlBuilder, InsertBindsValuesAndPastesRawExpressions) {
    auto v = Params();
    Add(v, L"Name", L"repo");
    Add(v, L"Port", 21);
    AddRaw(v, L"CreateTime", L"getdate()");
    Add(v, L"[Read]", 1);
    auto t = SqlBuilder::Insert(L"QV_DMRepo", v);
    EXPECT_EQ(t.sql,
              "INSERT INTO QV_DMRepo (Name, Port, CreateTime, [Read]) VALUES (?, ?, getdate(), ?)");
    ASSERT_EQ(t.binds.size(), 3u);
    EXPECT_EQ(std::get<std::wstring>(t.binds[0]), L"repo");
    EXPECT_EQ(std::get<long long>(t.binds[1]), 21);
    EXPECT_EQ(std::get<long long>(t.binds[2]), 1);
}

TEST(SqlBuilder, InsertWithoutValuesUsesDefaults) {
    EXPECT_EQ(SqlBuilder::Insert(L"QV_User", Params()).sql, "INSERT INTO QV_User DEFAULT VALUES");
}

TEST(SqlBuilder, UpdateSetsValuesThenConditionsInListOrder) {
    auto v = Params();
    Add(v, L"Name", L"n");
    AddRaw(v, L"LastOperateTime", L"getdate()");
    auto c = Params();
    Add(c, L"DocId", 5);
    Add(c, L"DocRepoId", 2);
    auto t = SqlBuilder::Update(L"QV_DMDoc", v, c);
    EXPECT_EQ(t.sql,
              "UPDATE QV_DMDoc SET Name = ?, LastOperateTime = getdate() WHERE DocId = ? AND "
              "DocRepoId = ?");
    ASSERT_EQ(t.binds.size(), 3u);
    EXPECT_EQ(std::get<std::wstring>(t.binds[0]), L"n");
    EXPECT_EQ(std::get<long long>(t.binds[1]), 5);
    EXPECT_EQ(std::get<long long>(t.binds[2]), 2);
}

TEST(SqlBuilder, UpdateWithoutConditionsTouchesEveryRow) {
    auto v = Params();
    Add(v, L"SeriaNumStra", 1);
    EXPECT_EQ(SqlBuilder::Update(L"QV_DMVerStrategy", v, Params()).sql,
              "UPDATE QV_DMVerStrategy SET SeriaNumStra = ?");
}

TEST(SqlBuilder, UpdateWithoutValuesIsRefused) {
    auto c = Params();
    Add(c, L"DocId", 1);
    try {
        SqlBuilder::Update(L"QV_DMDoc", Params(), c);
        FAIL() << "no error";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_MISUSE);
        EXPECT_NE(e.message().find("QV_DMDoc"), std::string::npos);
    }
}

TEST(SqlBuilder, DeleteAndSelect) {
    auto c = Params();
    Add(c, L"DocRepoId", 3);
    EXPECT_EQ(SqlBuilder::Delete(L"QV_DMAuth", c).sql, "DELETE FROM QV_DMAuth WHERE DocRepoId = ?");
    EXPECT_EQ(SqlBuilder::Delete(L"QV_DMAuth", Params()).sql, "DELETE FROM QV_DMAuth");
    EXPECT_EQ(SqlBuilder::Select(L"QV_DMDoc", L"", c, L"").sql,
              "SELECT * FROM QV_DMDoc WHERE DocRepoId = ?");
    EXPECT_EQ(SqlBuilder::Select(L"QV_DMDoc", L"DocId,\t\t  Name", c, L"phyurl asc").sql,
              "SELECT DocId,\t\t  Name FROM QV_DMDoc WHERE DocRepoId = ? ORDER BY phyurl asc");
    EXPECT_EQ(SqlBuilder::Select(L"QV_DMDocVer", L"count(*)", Params(), L" Revision desc").sql,
              "SELECT count(*) FROM QV_DMDocVer ORDER BY Revision desc");
}

TEST(SqlBuilder, OperatorsAreLimitedToComparisons) {
    auto c = Params();
    c.AddParam(0, L"Name", L"a%", false, false, L"like");
    c.AddParam(1, L"Port", 3, false, L"<>");
    c.AddParam(2, L"DocId", 3, false, L"");
    EXPECT_EQ(SqlBuilder::Delete(L"T", c).sql,
              "DELETE FROM T WHERE Name LIKE ? AND Port <> ? AND DocId = ?");

    auto bad = Params();
    bad.AddParam(0, L"DocId", 1, false, L"= 1 OR 1 =");
    EXPECT_THROW(SqlBuilder::Delete(L"T", bad), SqliteError);
}

TEST(SqlBuilder, EmptyNamesAreRefused) {
    auto v = Params();
    Add(v, L"", 1);
    EXPECT_THROW(SqlBuilder::Insert(L"T", v), SqliteError);
    EXPECT_THROW(SqlBuilder::Insert(L"  ", Params()), SqliteError);
}
