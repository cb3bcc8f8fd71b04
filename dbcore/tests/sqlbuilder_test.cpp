#include <gtest/gtest.h>
#include <sqlite3.h>

#include "dbcore/sqliteerror.h"
#include "sqlbuilder.h"
#include "testsupport.h"

using zub::dbcore::test::Add;
using zub::dbcore::test::AddRaw;
using zub::dbcore::test::Params;
using ZUBDB::DBValue;
using ZUBDB::SqlBuilder;
using ZUBDB::SqliteError;

TEST(SqlBuilder, InsertBindsValuesAndPastesRawExpressions) {
    auto v = Params();
    Add(v, L"Name", L"repo");
    Add(v, L"Port", 21);
    AddRaw(v, L"CreateTime", L"getdate()");
    Add(v, L"[Read]", 1);
    auto t = SqlBuilder::Insert(L"Shelf", v);
    EXPECT_EQ(t.sql,
              "INSERT INTO Shelf (Name, Port, CreateTime, [Read]) VALUES (?, ?, getdate(), ?)");
    ASSERT_EQ(t.binds.size(), 3u);
    EXPECT_EQ(std::get<std::wstring>(t.binds[0]), L"repo");
    EXPECT_EQ(std::get<long long>(t.binds[1]), 21);
    EXPECT_EQ(std::get<long long>(t.binds[2]), 1);
}

TEST(SqlBuilder, InsertWithoutValuesUsesDefaults) {
    EXPECT_EQ(SqlBuilder::Insert(L"Person", Params()).sql, "INSERT INTO Person DEFAULT VALUES");
}

TEST(SqlBuilder, UpdateSetsValuesThenConditionsInListOrder) {
    auto v = Params();
    Add(v, L"Name", L"n");
    AddRaw(v, L"LastOperateTime", L"getdate()");
    auto c = Params();
    Add(c, L"ItemId", 5);
    Add(c, L"ShelfId", 2);
    auto t = SqlBuilder::Update(L"Item", v, c);
    EXPECT_EQ(t.sql,
              "UPDATE Item SET Name = ?, LastOperateTime = getdate() WHERE ItemId = ? AND "
              "ShelfId = ?");
    ASSERT_EQ(t.binds.size(), 3u);
    EXPECT_EQ(std::get<std::wstring>(t.binds[0]), L"n");
    EXPECT_EQ(std::get<long long>(t.binds[1]), 5);
    EXPECT_EQ(std::get<long long>(t.binds[2]), 2);
}

TEST(SqlBuilder, UpdateWithoutConditionsTouchesEveryRow) {
    auto v = Params();
    Add(v, L"SeriaNumStra", 1);
    EXPECT_EQ(SqlBuilder::Update(L"Numbering", v, Params()).sql,
              "UPDATE Numbering SET SeriaNumStra = ?");
}

TEST(SqlBuilder, UpdateWithoutValuesIsRefused) {
    auto c = Params();
    Add(c, L"ItemId", 1);
    try {
        SqlBuilder::Update(L"Item", Params(), c);
        FAIL() << "no error";
    } catch (const SqliteError& e) {
        EXPECT_EQ(e.code(), SQLITE_MISUSE);
        EXPECT_NE(e.message().find("Item"), std::string::npos);
    }
}

TEST(SqlBuilder, DeleteAndSelect) {
    auto c = Params();
    Add(c, L"ShelfId", 3);
    EXPECT_EQ(SqlBuilder::Delete(L"ShelfGrant", c).sql, "DELETE FROM ShelfGrant WHERE ShelfId = ?");
    EXPECT_EQ(SqlBuilder::Delete(L"ShelfGrant", Params()).sql, "DELETE FROM ShelfGrant");
    EXPECT_EQ(SqlBuilder::Select(L"Item", L"", c, L"").sql, "SELECT * FROM Item WHERE ShelfId = ?");
    EXPECT_EQ(SqlBuilder::Select(L"Item", L"ItemId,\t\t  Name", c, L"phyurl asc").sql,
              "SELECT ItemId,\t\t  Name FROM Item WHERE ShelfId = ? ORDER BY phyurl asc");
    EXPECT_EQ(SqlBuilder::Select(L"ItemVer", L"count(*)", Params(), L" Revision desc").sql,
              "SELECT count(*) FROM ItemVer ORDER BY Revision desc");
}

TEST(SqlBuilder, OperatorsAreLimitedToComparisons) {
    auto c = Params();
    c.AddParam(0, L"Name", L"a%", false, false, L"like");
    c.AddParam(1, L"Port", 3, false, L"<>");
    c.AddParam(2, L"ItemId", 3, false, L"");
    EXPECT_EQ(SqlBuilder::Delete(L"T", c).sql,
              "DELETE FROM T WHERE Name LIKE ? AND Port <> ? AND ItemId = ?");

    auto bad = Params();
    bad.AddParam(0, L"ItemId", 1, false, L"= 1 OR 1 =");
    EXPECT_THROW(SqlBuilder::Delete(L"T", bad), SqliteError);
}

TEST(SqlBuilder, EmptyNamesAreRefused) {
    auto v = Params();
    Add(v, L"", 1);
    EXPECT_THROW(SqlBuilder::Insert(L"T", v), SqliteError);
    EXPECT_THROW(SqlBuilder::Insert(L"  ", Params()), SqliteError);
}
