#include "resulttable.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace zub::bench::test {

namespace {

// The table line of the row whose operation is `op`.
std::string Line(const std::string& md, const std::string& op) {
    const auto at = md.find("| " + op + " |");
    if (at == std::string::npos) return {};
    return md.substr(at, md.find('\n', at) - at);
}

class ResultTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.DefineRow({"add", "add", "4 KiB × 100", 100, 0, ""});
        table.DefinePart("add", "ours", "");
        table.DefinePart("add", "raw_sqlite", "inserts");
        table.DefinePart("add", "raw_cp", "copies");
        table.DefinePart("add", "dur_cp", "durable copies");
        table.DefinePart("add", "svn", "svn");
    }
    ResultTable table;
};

TEST_F(ResultTableTest, RawIsTheSumOfItsPartsAndTheDurableColumnSwapsInTheDurableTwin) {
    table.Record("add", "ours", 3.0, 8 << 20, "");
    table.Record("add", "raw_sqlite", 1.0, 0, "");
    table.Record("add", "raw_cp", 0.5, 0, "");
    table.Record("add", "dur_cp", 2.0, 0, "");
    table.Record("add", "svn", 10.0, 0, "");
    const std::string line = Line(table.Markdown(), "add");
    // raw 1.5 s -> ratio 2.00 (not above 2, so not bold); durable 3.0 s -> 1.00
    EXPECT_NE(line.find("| 1.50 s (67 docs/s) | 2.00 |"), std::string::npos) << line;
    EXPECT_NE(line.find("| 3.00 s (33 docs/s) | 1.00 |"), std::string::npos) << line;
    EXPECT_NE(line.find("| 10.00 s (10 docs/s) |"), std::string::npos) << line;
    EXPECT_NE(line.find("| 8.0 MiB |"), std::string::npos) << line;
    EXPECT_TRUE(table.RowsAbove(2.0).empty());
    EXPECT_FALSE(table.HasErrors());
}

TEST_F(ResultTableTest, RatioAboveTwoIsBoldAndListed) {
    table.Record("add", "ours", 4.0, 0, "");
    table.Record("add", "raw_sqlite", 1.0, 0, "");
    table.Record("add", "raw_cp", 0.5, 0, "");
    EXPECT_NE(Line(table.Markdown(), "add").find("| **2.67** |"), std::string::npos);
    ASSERT_EQ(table.RowsAbove(2.0).size(), 1u);
    EXPECT_EQ(table.RowsAbove(2.0)[0], "add");
}

TEST_F(ResultTableTest, AFailedPartShowsAsErrorAndSpoilsNoRatio) {
    table.Record("add", "ours", 4.0, 0, "");
    table.Record("add", "raw_sqlite", 0, 0, "database is locked");
    table.Record("add", "raw_cp", 0.5, 0, "");
    const std::string md = table.Markdown();
    EXPECT_TRUE(table.HasErrors());
    EXPECT_TRUE(table.RowsAbove(0.0).empty());
    EXPECT_NE(md.find("- add/raw_sqlite: database is locked"), std::string::npos) << md;
    // No raw sum and so no ratio from a part that did not run.
    EXPECT_NE(Line(md, "add").find("| — | — |"), std::string::npos) << md;
}

TEST_F(ResultTableTest, WithoutDurableTwinTheDurableColumnStaysEmpty) {
    table.DefineRow({"list", "list", "1,000", 1000, 0, ""});
    table.DefinePart("list", "ours", "");
    table.DefinePart("list", "raw_query", "query");
    table.Record("list", "ours", 0.002, 0, "");
    table.Record("list", "raw_query", 0.001, 0, "");
    const std::string line = Line(table.Markdown(), "list");
    EXPECT_NE(line.find("| 2.00 | — | — |"), std::string::npos) << line;
}

TEST_F(ResultTableTest, GrowthComparesTimePerItemWithTheReferenceRow) {
    table.DefineRow({"big", "big", "1,000", 1000, 0, "add"});
    table.DefinePart("big", "ours", "");
    table.Record("add", "ours", 1.0, 0, "");   // 10 ms per item
    table.Record("big", "ours", 12.0, 0, "");  // 12 ms per item
    EXPECT_NE(Line(table.Markdown(), "big").find("| ×1.20 |"), std::string::npos);
    EXPECT_NE(Line(table.Markdown(), "add").find("| — | inserts + copies"), std::string::npos)
        << "the first row has no reference, so no growth";
}

TEST_F(ResultTableTest, GrowthAlsoComparesProcessorTimeWhereBothRowsHaveIt) {
    table.DefineRow({"big", "big", "1,000", 1000, 0, "add"});
    table.DefinePart("big", "ours", "");
    table.Record("add", "ours", 1.0, 0, "", 0.1);   // 1 ms cpu per item
    table.Record("big", "ours", 10.0, 0, "", 2.0);  // 2 ms cpu per item
    EXPECT_NE(Line(table.Markdown(), "big").find("| ×1.00 (cpu ×2.00) |"), std::string::npos)
        << table.Markdown();
}

TEST_F(ResultTableTest, BytesGiveMegabytesPerSecond) {
    table.DefineRow({"large", "large", "1 GiB", 0, 1e9, ""});
    table.DefinePart("large", "ours", "");
    table.Record("large", "ours", 4.0, 0, "");
    EXPECT_NE(Line(table.Markdown(), "large").find("| 4.00 s (250 MB/s) |"), std::string::npos);
}

TEST_F(ResultTableTest, UnknownRowsAndPartsAreProgrammingErrors) {
    EXPECT_THROW(table.Record("nope", "ours", 1, 0, ""), std::logic_error);
    EXPECT_THROW(table.Record("add", "raw_nope", 1, 0, ""), std::logic_error);
    EXPECT_THROW(table.DefinePart("nope", "ours", ""), std::logic_error);
    EXPECT_THROW(table.DefineRow({"add", "again", "", 0, 0, ""}), std::logic_error);
}

TEST(ResultTableFormat, SecondsAndBytesPickReadableUnits) {
    EXPECT_EQ(ResultTable::FormatSeconds(0.0005), "500 µs");
    EXPECT_EQ(ResultTable::FormatSeconds(0.0123), "12.3 ms");
    EXPECT_EQ(ResultTable::FormatSeconds(1.5), "1.50 s");
    EXPECT_EQ(ResultTable::FormatSeconds(150.4), "150 s");
    EXPECT_EQ(ResultTable::FormatBytes(6 << 20), "6.0 MiB");
    EXPECT_EQ(ResultTable::FormatBytes(3LL << 30), "3.00 GiB");
}

TEST(ResultTableFormat, PipesInTextsDoNotBreakTheTable) {
    ResultTable t;
    t.DefineRow({"k", "a|b", "s", 0, 0, ""});
    EXPECT_NE(t.Markdown().find("| a\\|b |"), std::string::npos);
}

}  // namespace

}  // namespace zub::bench::test
