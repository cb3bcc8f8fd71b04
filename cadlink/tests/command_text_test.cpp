#include "command_text.h"

#include <gtest/gtest.h>

namespace ZUBCAX {
namespace {

TEST(CadTablesText, SplitsAtCommasKeepingEmptyPiecesBeforeACommaOnly) {
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> tables;
    } cases[] = {
        {L"", {}},     {L"bom", {L"bom"}},   {L"a,,b", {L"a", L"", L"b"}}, {L"a,b,", {L"a", L"b"}},
        {L",", {L""}}, {L",a", {L"", L"a"}}, {L"a b, c", {L"a b", L" c"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitTables(c.text), c.tables) << c.text;
}

TEST(CadModelName, SameNameInAnotherDirectory) {
    const struct {
        const wchar_t* current;
        const wchar_t* requested;
        bool clash;
    } cases[] = {
        {L"C:\\work\\bracket.prt", L"D:\\other\\bracket.prt", true},
        {L"C:\\work\\bracket.prt", L"C:\\work\\bracket.prt", false},
        {L"C:\\work\\bracket.prt", L"c:\\WORK\\BRACKET.PRT", false},
        {L"C:\\work\\bracket.prt", L"D:\\other\\BRACKET.prt", true},
        {L"C:\\work\\bracket.prt.2", L"D:\\other\\bracket.prt.3", true},
        {L"C:\\work\\bracket.prt.2", L"C:\\work\\bracket.prt.3", false},
        {L"/work/bracket.prt", L"/other/bracket.prt", true},
        {L"C:\\work\\bracket.prt", L"C:\\other/bracket.prt", false},
        {L"C:\\work\\bracket.prt.2a", L"D:\\other\\bracket.prt.3a", false},
        {L"C:\\work\\bracket.prt.", L"D:\\other\\bracket.prt.", true},
        {L"C:\\work\\bracket.prt", L"D:\\other\\plate.prt", false},
        {L"", L"D:\\other\\bracket.prt", false},
        {L"bracket.prt", L"plate.prt", false},
        {L"C:\\work\\", L"D:\\other\\", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameNameOtherDirectory(c.current, c.requested), c.clash)
            << "current " << c.current << ", requested " << c.requested;
    }
}

TEST(CadDescriptionPath, FollowsTheModuleDirectory) {
    EXPECT_EQ(DescriptionPathFor(L"/usr/lib/libcadlink.so"), L"/usr/lib//zh-cn/dd_2.xml");
    EXPECT_EQ(DescriptionPathFor(L"C:\\zub\\cadlink.dll"), L"C:\\zub\\/zh-cn/dd_2.xml");
    EXPECT_EQ(DescriptionPathFor(L"cadlink.dll"), L"/zh-cn/dd_2.xml");
}

}  // namespace
}  // namespace ZUBCAX
