#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

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

namespace {

// Rows kept by a "backend": (row, column) -> row * 10 + column, column 1 a
// text, column 2 NULL; counts the values it made.
class CountingSource : public ZUBDB::CDBRowSource {
public:
    explicit CountingSource(std::size_t rows) : rows_(rows) {}
    std::size_t RowCount() const override { return rows_; }
    DBValue Value(std::size_t row, std::size_t column) const override {
        ++made;
        const auto v = static_cast<long long>(row * 10 + column);
        if (column == 1) return std::wstring(L"t") + std::to_wstring(v);
        if (column == 2) return std::monostate{};
        return v;
    }
    mutable int made = 0;

private:
    std::size_t rows_;
};

}  // namespace

TEST(CDBRecordset, CellByCellBuildsTheSameRowsAsWholeRows) {
    CDBRecordset whole = TwoRows();
    CDBRecordset cells({L"ItemId", L"Name", L"CreateTime", L"Note"});
    for (DBValue v : {DBValue(7LL), DBValue(std::wstring(L"pump")), DBValue(45000.25), DBValue(),
                      DBValue(8LL), DBValue(std::wstring(L"42"))})
        cells.AddCell(std::move(v));
    // A row counts once its last cell is in.
    EXPECT_EQ(cells.GetRecordCount(), 1);
    EXPECT_THROW(cells.AddRow({DBValue(1LL), DBValue(), DBValue(), DBValue()}), std::logic_error);
    cells.AddCell(DBValue(2.5));
    cells.AddCell(DBValue(std::wstring(L"x")));
    ASSERT_EQ(cells.GetRecordCount(), whole.GetRecordCount());
    for (; !whole.IsEOF(); whole.MoveNext(), cells.MoveNext())
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(cells.GetStringAt(c, L"-"), whole.GetStringAt(c, L"-"));
    EXPECT_TRUE(cells.IsEOF());
    EXPECT_THROW(CDBRecordset().AddCell(DBValue(1LL)), std::invalid_argument);
}

TEST(CDBRecordset, TakeStringMovesTheTextOutAndLeavesNull) {
    CDBRecordset rs = TwoRows();
    EXPECT_EQ(rs.TakeStringAt(1), L"pump");
    EXPECT_EQ(rs.GetStringAt(1, L"gone"), L"gone");
    EXPECT_EQ(rs.TakeStringAt(1, L"gone"), L"gone");
    // Numbers are converted, not taken; other cells and rows keep theirs.
    EXPECT_EQ(rs.TakeStringAt(0), L"7");
    EXPECT_EQ(rs.GetIntAt(0), 7);
    EXPECT_EQ(rs.TakeStringAt(3, L"null"), L"null");
    rs.MoveNext();
    EXPECT_EQ(rs.TakeStringAt(1), L"42");
    EXPECT_EQ(rs.TakeStringAt(9, L"none"), L"none");
}

TEST(CDBRecordset, RowsOfASourceAreReadInPlaceOneValueAtATime) {
    auto source = std::make_shared<CountingSource>(3);
    CDBRecordset rs({L"A", L"B", L"C"}, source);
    EXPECT_EQ(rs.GetRecordCount(), 3);
    EXPECT_EQ(source->made, 0);
    EXPECT_EQ(rs.GetInt(L"a"), 0);
    EXPECT_EQ(rs.GetStringAt(1), L"t1");
    EXPECT_EQ(rs.GetIntAt(2, -1), -1);  // NULL
    EXPECT_EQ(rs.GetStringAt(5, L"x"), L"x");
    EXPECT_EQ(source->made, 3);  // out of range asks nothing
    rs.MoveNext();
    rs.MoveNext();
    EXPECT_EQ(rs.TakeStringAt(1), L"t21");
    EXPECT_EQ(rs.TakeStringAt(1), L"t21");  // the source keeps its rows
    EXPECT_DOUBLE_EQ(rs.GetDoubleAt(0), 20.0);
    // A copy shares the rows, with a cursor of its own.
    CDBRecordset copy = rs;
    copy.MoveFirst();
    EXPECT_EQ(copy.GetStringAt(1), L"t1");
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_EQ(rs.GetIntAt(0, -5), -5);
    EXPECT_THROW(rs.AddRow({DBValue(), DBValue(), DBValue()}), std::logic_error);
    EXPECT_THROW(rs.AddCell(DBValue()), std::logic_error);
}
