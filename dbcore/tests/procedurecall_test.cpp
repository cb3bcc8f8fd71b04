#include <gtest/gtest.h>

#include "dbcore/sqliteerror.h"
#include "procedurecall.h"
#include "testsupport.h"

using zub::dbcore::test::Add;
using zub::dbcore::test::Params;
using ZUBDB::DBValue;
using ZUBDB::ProcedureCall;
using ZUBDB::SqliteError;

TEST(ProcedureCall, SplitsTheFirstWordAsName) {
    auto call = ProcedureCall::Split(L"p_GetPersonGrants 5");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->name(), L"p_GetPersonGrants");
    auto args = call->Arguments(Params());
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(std::get<long long>(args[0]), 5);

    auto exec = ProcedureCall::Split(L"  EXEC GetNewId 1, 2;");
    ASSERT_TRUE(exec);
    EXPECT_EQ(exec->name(), L"GetNewId");
    EXPECT_EQ(exec->Arguments(Params()).size(), 2u);

    EXPECT_FALSE(ProcedureCall::Split(L"(select 1)"));
    EXPECT_FALSE(ProcedureCall::Split(L"count(*)"));
}

TEST(ProcedureCall, PlaceholdersTakeTheListInOrder) {
    auto call = ProcedureCall::Split(L"GetNewId ?,?");
    ASSERT_TRUE(call);
    auto p = Params();
    Add(p, L"idName", 7);
    Add(p, L"n", L"3");
    auto args = call->Arguments(p);
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(std::get<long long>(args[0]), 7);
    EXPECT_EQ(std::get<std::wstring>(args[1]), L"3");
}

TEST(ProcedureCall, ReadsLiteralArguments) {
    auto call = ProcedureCall::Split(L"P -4, 2.5, 'it''s', N'名', NULL");
    ASSERT_TRUE(call);
    auto args = call->Arguments(Params());
    ASSERT_EQ(args.size(), 5u);
    EXPECT_EQ(std::get<long long>(args[0]), -4);
    EXPECT_DOUBLE_EQ(std::get<double>(args[1]), 2.5);
    EXPECT_EQ(std::get<std::wstring>(args[2]), L"it's");
    EXPECT_EQ(std::get<std::wstring>(args[3]), L"名");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(args[4]));
}

TEST(ProcedureCall, NoArgumentsAtAll) {
    auto call = ProcedureCall::Split(L"P");
    ASSERT_TRUE(call);
    EXPECT_TRUE(call->Arguments(Params()).empty());
}

TEST(ProcedureCall, MalformedListsAndCountMismatchesAreErrors) {
    auto one = Params();
    Add(one, L"a", 1);
    EXPECT_THROW(ProcedureCall::Split(L"P ?,?")->Arguments(one), SqliteError);  // too few values
    EXPECT_THROW(ProcedureCall::Split(L"P 1")->Arguments(one), SqliteError);    // value left over
    EXPECT_THROW(ProcedureCall::Split(L"P")->Arguments(one), SqliteError);
    EXPECT_THROW(ProcedureCall::Split(L"P 1,")->Arguments(Params()), SqliteError);
    EXPECT_THROW(ProcedureCall::Split(L"P 'open")->Arguments(Params()), SqliteError);
    EXPECT_THROW(ProcedureCall::Split(L"P 1 2")->Arguments(Params()), SqliteError);
    EXPECT_THROW(ProcedureCall::Split(L"P abc")->Arguments(Params()), SqliteError);
    auto raw = Params();
    zub::dbcore::test::AddRaw(raw, L"t", L"getdate()");
    EXPECT_THROW(ProcedureCall::Split(L"P ?")->Arguments(raw), SqliteError);
}
