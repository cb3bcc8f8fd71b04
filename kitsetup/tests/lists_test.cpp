#include "kitsetup/lists.h"

#include <gtest/gtest.h>

#include <functional>

#include "kitsetup/script_loader.h"
#include "kitsetup/string_table.h"
#include "zub/platform/error.h"
#include "zubtest/language.h"
#include "zubtest/scopedenv.h"

// gettext's counter of catalog changes: its cached translations are kept
// only while it stays the same.
extern "C" int _nl_msg_cat_cntr;

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
    EXPECT_EQ(FmtId(28, std::wstring(L"产品"), std::wstring(L"1.0")),
              L"开始安装 产品(1.0) =========================");
    EXPECT_EQ(FmtId(36, std::wstring(L"/t"), 7), L"拷贝文件 /t 失败, 不识别的覆盖类型 7");
    EXPECT_EQ(Fmt(L"%s", std::wstring(5000, L'x')).size(), kFormatBuffer - 1);
}

// The test program speaks Chinese; LANGUAGE switches the catalog gettext
// reads once its cache of looked-up texts is dropped.
class English {
public:
    English() : env_("LANGUAGE", "en") { ++_nl_msg_cat_cntr; }
    ~English() { ++_nl_msg_cat_cntr; }
    English(const English&) = delete;
    English& operator=(const English&) = delete;

private:
    zub::testsupport::ScopedEnv env_;
};

TEST(StringTable, TextsInEitherLanguage) {
    struct Case {
        const char* name;
        std::wstring zh, en;
        std::function<std::wstring()> text;
    } cases[] = {
        {"plain id", L"自定义", L"Custom", [] { return std::wstring(LoadStr(12)); }},
        {"layout after the text", L"当前安装路径:\r\n\t", L"Install path:\r\n\t",
         [] { return std::wstring(LoadStr(140)); }},
        {"unknown id", L"", L"", [] { return std::wstring(LoadStr(9999)); }},
        {"formatted id", L"本机已安装过 产品(1.0), 请先卸载再重新安装。",
         L"产品(1.0) is installed on this machine already; uninstall it before installing again.",
         [] { return FmtId(146, std::wstring(L"产品(1.0)")); }},
        {"arguments reordered", L"[ACTION]节点[progParas]属性值子项[a%]命令替换符号无法解析",
         L"cannot resolve the substitution symbol in [a%], attribute [progParas] of node [ACTION]",
         [] {
             return FmtId(15, std::wstring(L"ACTION"), std::wstring(L"progParas"),
                          std::wstring(L"a%"));
         }},
        {"a fixed text where it is shown", L"配置文件解析失败。\n",
         L"Document not parsed successfully. \n",
         [] { return Shown(zub::Utf8ToWide(kNotParsed)); }},
        {"a text outside the catalog", L"no such text", L"no such text",
         [] { return Shown(L"no such text"); }},
        {"the system's error text", L"系统找不到指定的文件。",
         L"The system cannot find the file specified.", [] { return SystemErrorText(2); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            const English english;
            EXPECT_EQ(c.text(), c.en);
        }
        EXPECT_EQ(c.text(), c.zh);
    }
    // Callers keep the pointers.
    EXPECT_EQ(LoadStr(12), LoadStr(12));
}

TEST(StringTable, SystemErrorsAnInstallMeetsAreTranslated) {
    for (const platform::Error e :
         {platform::kErrorInvalidFunction, platform::kErrorFileNotFound,
          platform::kErrorPathNotFound, platform::kErrorAccessDenied, platform::kErrorInvalidHandle,
          platform::kErrorNotEnoughMemory, platform::kErrorSharingViolation,
          platform::kErrorNotSupported, platform::kErrorFileExists,
          platform::kErrorInvalidParameter, platform::kErrorDiskFull, platform::kErrorInvalidName,
          platform::kErrorDirNotEmpty, platform::kErrorBadPathname, platform::kErrorAlreadyExists,
          platform::kErrorFilenameExcedRange, platform::kErrorCantWrite,
          platform::kErrorNoAssociation}) {
        EXPECT_TRUE(zub::testsupport::HasCjk(zub::WideToUtf8(SystemErrorText(e))))
            << e << " " << zub::WideToUtf8(platform::ErrorText(e));
    }
}

TEST(StringTable, WindowsStyleStringsBecomeWide) {
    struct Case {
        std::wstring in, out;
    } cases[] = {
        {L"%s %d %% %%s", L"%ls %d %% %%s"},  {L"%2$s %1$s", L"%2$ls %1$ls"},
        {L"[%-8s] %5.2s", L"[%-8ls] %5.2ls"}, {L"%ls stays", L"%ls stays"},
        {L"ends with %", L"ends with %"},
    };
    for (const auto& c : cases) EXPECT_EQ(WideFormat(c.in.c_str()), c.out) << WideToUtf8(c.in);
}

}  // namespace
}  // namespace zub::kitsetup
