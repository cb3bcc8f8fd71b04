#include "kitsetup/lists.h"

#include <gtest/gtest.h>

#include "kitsetup/string_table.h"

namespace zub::kitsetup {
namespace {

using Items = std::vector<std::wstring>;

TEST(SplitList, KeepsInnerEmptiesDropsTrailingSeparator) {
    struct Case {
        std::wstring text, sep;
        Items items;
    } cases[] = {
        {L"", L",", {}},
        {L"a", L",", {L"a"}},
        {L"a,b", L",", {L"a", L"b"}},
        {L"a,,b", L",", {L"a", L"", L"b"}},
        {L"a,", L",", {L"a"}},
        {L",a", L",", {L"", L"a"}},
        {L",", L",", {L""}},
        {L" a , b", L",", {L" a ", L" b"}},
        {L"x||y||z", L"||", {L"x", L"y", L"z"}},
        {L"x|y", L"||", {L"x|y"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitList(c.text, c.sep), c.items) << c.text;
}

TEST(MergeList, FirstAppearanceOrderStarAndContainment) {
    struct Case {
        std::wstring list, items, result;
    } cases[] = {
        {L"a", L"", L"a"},
        {L"", L"b,a", L"b,a"},
        {L"", L"a,,a", L"a,,a"},  // an empty list takes the items unchanged
        {L"a,b", L"b,c,a,d", L"a,b,c,d"},
        {L"a", L"c,,c", L"a,c"},
        {L"ab", L"a", L"ab,a"},  // whole names, not substrings
        {L"a,b", L"*", L"*"},
        {L"*", L"x", L"*"},
        {L"", L"*", L"*"},
    };
    for (const auto& c : cases) {
        std::wstring list = c.list;
        mergeList(list, c.items);
        EXPECT_EQ(list, c.result) << c.list << " + " << c.items;
    }
}

TEST(ListContains, WholeNonEmptyNamesOnly) {
    EXPECT_TRUE(ListContains(L"a,bc,d", L"bc"));
    EXPECT_FALSE(ListContains(L"a,bc,d", L"b"));
    EXPECT_FALSE(ListContains(L"a,,b", L""));
    EXPECT_TRUE(ListContains(L"x", L"x"));
}

TEST(JoinPath, TrimsBlanksAndSeparatorsAtTheSeam) {
    struct Case {
        std::wstring a, b, joined;
    } cases[] = {
        {L"/opt/zub", L"bin", L"/opt/zub/bin"},
        {L"/opt/zub/", L"/bin", L"/opt/zub/bin"},
        {L" /opt/zub\\ ", L" \\bin\\ ", L"/opt/zub/bin"},
        {L"\\\\server\\share", L"x", L"server\\share/x"},  // a network prefix is lost
        {L"/opt", L"a/b", L"/opt/a/b"},
    };
    for (const auto& c : cases) EXPECT_EQ(joinPath(c.a, c.b), c.joined) << c.a << " + " << c.b;
}

TEST(PathRules, LocalPathAndStaysBelow) {
    EXPECT_EQ(LocalPath(L"bin\\sub\\x.so"), L"bin/sub/x.so");
    EXPECT_TRUE(StaysBelow(L"bin\\x"));
    EXPECT_TRUE(StaysBelow(L"a/../b"));
    EXPECT_FALSE(StaysBelow(L"..\\x"));
    EXPECT_FALSE(StaysBelow(L"a/../../x"));
    EXPECT_FALSE(StaysBelow(L"/etc/passwd"));
}

TEST(StringTable, TextsAndWindowsStyleFormats) {
    EXPECT_STREQ(LoadStr(12), L"自定义");
    EXPECT_STREQ(LoadStr(146), L"本机已安装过 %s, 请先卸载再重新安装。");
    EXPECT_STREQ(LoadStr(9999), L"");
    EXPECT_EQ(WideFormat(L"%s %d %% %%s"), L"%ls %d %% %%s");
    EXPECT_EQ(FmtId(28, std::wstring(L"产品"), std::wstring(L"1.0")),
              L"开始安装 产品(1.0) =========================");
    EXPECT_EQ(FmtId(36, std::wstring(L"/t"), 7), L"拷贝文件 /t 失败, 不识别的覆盖类型 7");
    EXPECT_EQ(Fmt(L"%s", std::wstring(5000, L'x')).size(), kFormatBuffer - 1);
}

}  // namespace
}  // namespace zub::kitsetup
