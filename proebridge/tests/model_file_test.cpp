#include "model_file.h"

#include <gtest/gtest.h>

namespace ZUBPROE4 {
namespace {

TEST(StandInModelFile, ReadsDependenciesTablesAndRows) {
    const ModelRead read =
        ParseModel(L"/m/a.prt",
                   "# a model\r\n\ndep b.prt\ndep sub dir/c.asm\ntable bom\n"
                   "row id=1\tnote=a=b\tlast=\ntable empty\ntable parts\nrow n=\n");
    ASSERT_TRUE(read.model) << read.error;
    const Model& m = *read.model;
    EXPECT_EQ(m.path, L"/m/a.prt");
    EXPECT_EQ(m.dependencies, (std::vector<std::wstring>{L"b.prt", L"sub dir/c.asm"}));
    ASSERT_EQ(m.tables.size(), 3u);
    EXPECT_EQ(m.tables[0].name, L"bom");
    ASSERT_EQ(m.tables[0].rows.size(), 1u);
    EXPECT_EQ(m.tables[0].rows[0], (Row{{L"id", L"1"}, {L"note", L"a=b"}, {L"last", L""}}));
    EXPECT_TRUE(m.tables[1].rows.empty());
    EXPECT_EQ(m.tables[2].rows[0], (Row{{L"n", L""}}));
}

TEST(StandInModelFile, RefusesMalformedLines) {
    const struct {
        const char* text;
        const wchar_t* error;
    } cases[] = {
        {"row a=1\n", L"line 1: row before any table"},
        {"table t\nrow novalue\n", L"line 2: row field without column=value"},
        {"table t\nrow =1\n", L"line 2: row field without column=value"},
        {"dep\n", L"line 1: dep without a path"},
        {"table\n", L"line 1: table without a name"},
        {"# ok\nsolid 1\n", L"line 2: unknown line \"solid 1\""},
        {"tablet x\n", L"line 1: unknown line \"tablet x\""},
    };
    for (const auto& c : cases) {
        const ModelRead read = ParseModel(L"m", c.text);
        EXPECT_FALSE(read.model) << c.text;
        EXPECT_EQ(read.error, c.error) << c.text;
    }
}

TEST(StandInModelFile, WritesWhatItReads) {
    Model m;
    m.path = L"x";
    m.dependencies = {L"b.prt"};
    m.tables = {{L"bom", {{{L"id", L"1"}, {L"note", L"two\twords\nhere"}}}}, {L"t", {}}};
    const std::string text = FormatModel(m);
    EXPECT_EQ(
        text,
        "# stand-in CAD model\ndep b.prt\ntable bom\nrow id=1\tnote=two words here\ntable t\n");
    const ModelRead again = ParseModel(L"x", text);
    ASSERT_TRUE(again.model);
    EXPECT_EQ(FormatModel(*again.model), text);
}

}  // namespace
}  // namespace ZUBPROE4
