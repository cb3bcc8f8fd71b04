#include "table_description.h"

#include <gtest/gtest.h>

#include "cadlink/sqlite_db.h"
#include "test_support.h"
#include "zub/text.h"
#include "zubtest/files.h"

namespace ZUBCAX {
namespace {

std::string Description(const std::string& tabs) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><dd><tabs>" + tabs + "</tabs></dd>";
}

std::wstring Statement(const std::string& tabs, const std::wstring& name) {
    const auto description = TableDescription::Parse(Description(tabs));
    if (!description) return L"<not parsed>";
    return description->CreateStatement(name).value_or(L"<none>");
}

TEST(CadTableDescription, BomExampleByteForByte) {
    EXPECT_EQ(Statement("<tab name='bom'><fld name='id' dt='1' isPK='1'/><fld name='qty' dt='3'/>"
                        "<fld name='note' dt='4'/></tab>",
                        L"bom"),
              L"create table if not exists 'CAXS_2_bom' (id Integer primary key not null,qty "
              L"Real,note Text,CAXS_flag Integer)");
}

TEST(CadTableDescription, TypeCodes) {
    const struct {
        const char* dt;
        const wchar_t* type;
    } cases[] = {{"1", L"Integer"},  {"2", L"Integer"}, {"3", L"Real"},  {"4", L"Text"},
                 {"5", L"Text"},     {"6", L"Integer"}, {"7", L"Text"},  {"8", L"Integer"},
                 {"9", L"Text"},     {"0", L"Text"},    {"-1", L"Text"}, {" 6", L"Integer"},
                 {"6x", L"Integer"}, {"x6", L"Text"},   {"", L"Text"}};
    for (const auto& c : cases) {
        EXPECT_EQ(
            Statement(std::string("<tab name='t'><fld name='c' dt='") + c.dt + "'/></tab>", L"t"),
            std::wstring(L"create table if not exists 'CAXS_2_t' (c ") + c.type +
                L",CAXS_flag Integer)")
            << "dt " << c.dt;
    }
    EXPECT_EQ(Statement("<tab name='t'><fld name='c'/></tab>", L"t"),
              L"create table if not exists 'CAXS_2_t' (c Text,CAXS_flag Integer)");
}

TEST(CadTableDescription, PrimaryKeyOnlyForNonZeroIsPK) {
    const struct {
        const char* attribute;
        bool key;
    } cases[] = {{" isPK='0'", false},
                 {"", false},
                 {" isPK='2'", true},
                 {" isPK='-1'", true},
                 {" isPK='no'", false}};
    for (const auto& c : cases) {
        const std::wstring sql = Statement(
            std::string("<tab name='t'><fld name='c' dt='1'") + c.attribute + "/></tab>", L"t");
        EXPECT_EQ(sql.find(L"c Integer primary key not null,") != std::wstring::npos, c.key)
            << c.attribute << ": " << zub::WideToUtf8(sql);
    }
}

TEST(CadTableDescription, OnlyFldChildrenOfTheFirstMatchingTabCount) {
    EXPECT_EQ(Statement("<tab name='t'><fld name='a' dt='1'/><!-- x --><other name='b'/>text"
                        "<fld name='c' dt='3'><fld name='inner'/></fld></tab>"
                        "<tab name='t'><fld name='second'/></tab>",
                        L"t"),
              L"create table if not exists 'CAXS_2_t' (a Integer,c Real,CAXS_flag Integer)");
    EXPECT_EQ(Statement("<tab name='t'/>", L"t"),
              L"create table if not exists 'CAXS_2_t' (CAXS_flag Integer)");
}

TEST(CadTableDescription, NoTabOfThatName) {
    const std::string tabs = "<tab name='bom'><fld name='id'/></tab>";
    for (const wchar_t* name : {L"", L"BOM", L"bo", L"bom "}) {
        EXPECT_EQ(Statement(tabs, name), L"<none>") << name;
    }
    EXPECT_EQ(Statement("<other><tab name='x'/></other>", L"x"), L"<none>");
}

TEST(CadTableDescription, MalformedOrMissingFileIsNotParsed) {
    EXPECT_EQ(TableDescription::Parse("<dd><tabs></dd>"), nullptr);
    EXPECT_EQ(TableDescription::Parse(""), nullptr);
    EXPECT_EQ(TableDescription::Load(L"/nonexistent/zh-cn/dd_2.xml"), nullptr);
    zub::cadlink::test::TempDir dir;
    zub::testsupport::WriteFile(dir.path() / "dd.xml", Description("<tab name='a'/>"));
    EXPECT_NE(TableDescription::Load(dir.file("dd.xml")), nullptr);
}

TEST(CadTableDescription, HostileNamesChangeNeitherXPathNorSql) {
    const struct {
        const char* xmlName;  // as written in the attribute
        const wchar_t* name;
    } tables[] = {
        {"a'b", L"a'b"},           {"a]b", L"a]b"},
        {"a&quot;b", L"a\"b"},     {"x' (y);drop table z;--", L"x' (y);drop table z;--"},
        {"q'&quot;[]", L"q'\"[]"}, {"t') or @name=('bom", L"t') or @name=('bom"},
    };
    const std::string columns =
        "<fld name='plain' dt='1'/><fld name='with blank' dt='3'/>"
        "<fld name='q&quot;uote' dt='4'/><fld name='select'/>"
        "<fld name='x Integer) ; create table evil (y' dt='1' isPK='1'/>";
    std::string tabs = "<tab name='bom'><fld name='id'/></tab>";
    for (const auto& t : tables)
        tabs += std::string("<tab name=\"") + t.xmlName + "\">" + columns + "</tab>";
    const auto description = TableDescription::Parse(Description(tabs));
    ASSERT_NE(description, nullptr);

    zub::cadlink::test::TempDir dir;
    SqliteDb db;
    db.Open(dir.file("m.db"));
    for (const auto& t : tables) {
        const auto sql = description->CreateStatement(t.name);
        ASSERT_TRUE(sql.has_value()) << zub::WideToUtf8(t.name);
        db.Execute(*sql);
    }
    db.Close();

    std::vector<std::string> expected;
    for (const auto& t : tables)
        expected.push_back(zub::WideToUtf8(std::wstring(L"CAXS_2_") + t.name));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(zub::cadlink::test::TableNames(dir.path() / "m.db"), expected);
    for (const auto& name : expected) {
        EXPECT_EQ(zub::cadlink::test::ColumnNames(dir.path() / "m.db", name),
                  (std::vector<std::string>{"plain", "with blank", "q\"uote", "select",
                                            "x Integer) ; create table evil (y", "CAXS_flag"}))
            << name;
    }
}

TEST(CadTableDescription, ColumnNamesQuotedOnlyWhenNeeded) {
    const struct {
        const wchar_t* name;
        const wchar_t* sql;
    } cases[] = {{L"id", L"id"},       {L"_a1", L"_a1"},         {L"1a", L"\"1a\""},
                 {L"a b", L"\"a b\""}, {L"a\"b", L"\"a\"\"b\""}, {L"order", L"\"order\""},
                 {L"a]", L"\"a]\""},   {L"", L"\"\""},           {L"\x4E2D", L"\"\x4E2D\""}};
    for (const auto& c : cases) EXPECT_EQ(TableDescription::ColumnName(c.name), c.sql) << c.name;
}

}  // namespace
}  // namespace ZUBCAX
