#include <gtest/gtest.h>

#include <stdexcept>

#include "dbcore/cdbrecordset.h"

using ZUBDB::CDBRecordset;
using ZUBDB::DBValue;

namespace {

CDBRecordset TwoRows() {
    CDBRecordset rs({L"ItemId", L"Name", L"CreateTime", L"Note"});
    rs.AddRow({DBValue(7LL), DBValue(std::wstring(L"pump")), DBValue(45000.25), DBValue()});
    rs.AddRow(
        {DBValue(8LL), DBValue(std::wstring(L"42")), DBValue(2.5), DBValue(std::wstring(L"x"))});
    return rs;
}

}  // namespace

TEST(CDBRecordset, ReadsColumnsByNameIgnoringCase) {
    CDBRecordset rs = TwoRows();
    EXPECT_EQ(rs.GetInt(L"itemid"), 7);
    EXPECT_EQ(rs.GetInt(L"ITEMID"), 7);
    EXPECT_EQ(rs.GetString(L"name"), L"pump");
    EXPECT_DOUBLE_EQ(rs.GetDouble(L"createtime"), 45000.25);
}

TEST(CDBRecordset, RepeatedNamesReadTheFirstColumnWithTheName) {
    // A join can return two columns of one name, spelled alike or not.
    CDBRecordset rs({L"Id", L"Ids", L"ID", L"Name", L"id"});
    rs.AddRow(
        {DBValue(1LL), DBValue(2LL), DBValue(3LL), DBValue(std::wstring(L"a")), DBValue(5LL)});
    rs.AddRow(
        {DBValue(), DBValue(12LL), DBValue(13LL), DBValue(std::wstring(L"b")), DBValue(15LL)});
    EXPECT_EQ(rs.GetInt(L"iD"), 1);
    EXPECT_EQ(rs.GetInt(L"ids"), 2);
    EXPECT_EQ(rs.GetInt(L"I", -1), -1);
    EXPECT_EQ(rs.GetInt(L"Idsx", -1), -1);
    // The first column wins even where its value is NULL.
    rs.MoveNext();
    EXPECT_EQ(rs.GetInt(L"ID", -1), -1);
    EXPECT_EQ(rs.GetString(L"NAME"), L"b");
    // A copy made after the first lookups reads the same columns.
    CDBRecordset copy = rs;
    copy.MoveFirst();
    EXPECT_EQ(copy.GetInt(L"id"), 1);
    EXPECT_EQ(copy.GetString(L"name"), L"a");
}

TEST(CDBRecordset, ReadsColumnsByPosition) {
    CDBRecordset rs = TwoRows();
    EXPECT_EQ(rs.GetIntAt(0), 7);
    EXPECT_EQ(rs.GetInt64At(0), 7);
    EXPECT_EQ(rs.GetStringAt(1), L"pump");
    EXPECT_DOUBLE_EQ(rs.GetDoubleAt(2), 45000.25);
}

TEST(CDBRecordset, MissingColumnNullAndBadPositionGiveTheDefault) {
    CDBRecordset rs = TwoRows();
    EXPECT_EQ(rs.GetString(L"NoSuchColumn", L"def"), L"def");
    EXPECT_EQ(rs.GetInt(L"NoSuchColumn", -3), -3);
    EXPECT_DOUBLE_EQ(rs.GetDouble(L"NoSuchColumn", 1.5), 1.5);
    EXPECT_EQ(rs.GetString(L"Note", L"null"), L"null");
    EXPECT_EQ(rs.GetIntAt(3, 9), 9);
    EXPECT_EQ(rs.GetIntAt(4, 9), 9);
    EXPECT_EQ(rs.GetIntAt(-1, 9), 9);
    EXPECT_EQ(rs.GetStringAt(1, L"d"), L"pump");
    // A text that is not a number reads as the default number.
    EXPECT_EQ(rs.GetInt(L"Name", -1), -1);
    EXPECT_DOUBLE_EQ(rs.GetDouble(L"Name", -1.0), -1.0);
}

TEST(CDBRecordset, ConvertsBetweenTypes) {
    CDBRecordset rs = TwoRows();
    EXPECT_EQ(rs.GetString(L"ItemId"), L"7");
    rs.MoveNext();
    EXPECT_EQ(rs.GetInt(L"Name"), 42);  // text "42"
    EXPECT_DOUBLE_EQ(rs.GetDouble(L"Name"), 42.0);
    EXPECT_EQ(rs.GetString(L"CreateTime"), L"2.5");
    EXPECT_EQ(rs.GetInt(L"CreateTime"), 2);  // truncated
    EXPECT_DOUBLE_EQ(rs.GetDouble(L"ItemId"), 8.0);
}

TEST(CDBRecordset, CursorWalksRowsAndStopsAtTheEnd) {
    CDBRecordset rs = TwoRows();
    EXPECT_EQ(rs.GetRecordCount(), 2);
    EXPECT_FALSE(rs.IsEOF());
    rs.MoveNext();
    EXPECT_EQ(rs.GetInt(L"ItemId"), 8);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.GetInt(L"ItemId", -1), -1);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    rs.MoveFirst();
    EXPECT_EQ(rs.GetInt(L"ItemId"), 7);
}

TEST(CDBRecordset, EmptySetIsAtEndAndGivesDefaults) {
    CDBRecordset rs({L"a"});
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.GetRecordCount(), 0);
    EXPECT_EQ(rs.GetIntAt(0, 5), 5);
    EXPECT_EQ(rs.GetString(L"a", L"none"), L"none");
}

TEST(CDBRecordset, RefusesRowsOfTheWrongWidth) {
    CDBRecordset rs({L"a", L"b"});
    EXPECT_THROW(rs.AddRow({DBValue(1LL)}), std::invalid_argument);
    EXPECT_THROW(rs.AddRow({DBValue(1LL), DBValue(2LL), DBValue(3LL)}), std::invalid_argument);
    EXPECT_EQ(rs.GetRecordCount(), 0);
}
