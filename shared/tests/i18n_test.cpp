#include "zub/i18n.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zub::i18n {
namespace {

struct Choice {
    const char* language;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    Language expected;
};

TEST(ChooseLanguage, FollowsTheUsualOrderOfTheEnvironment) {
    const Choice cases[] = {
        {nullptr, nullptr, nullptr, "zh_CN.UTF-8", Language::Chinese},
        {nullptr, nullptr, nullptr, "en_US.UTF-8", Language::English},
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", Language::English},
        {nullptr, nullptr, nullptr, nullptr, Language::English},
        {"", "", "", "zh_TW.UTF-8", Language::Chinese},
        // LC_ALL over LC_MESSAGES over LANG.
        {nullptr, "en_US.UTF-8", "zh_CN.UTF-8", "zh_CN.UTF-8", Language::English},
        {nullptr, nullptr, "zh_CN.UTF-8", "en_US.UTF-8", Language::Chinese},
        // LANGUAGE over all of them: its first entry we speak.
        {"zh_CN", nullptr, nullptr, "en_US.UTF-8", Language::Chinese},
        {"fr:de:zh_CN:en", nullptr, nullptr, "en_US.UTF-8", Language::Chinese},
        {"en_GB:zh_CN", "zh_CN.UTF-8", nullptr, nullptr, Language::English},
        {"fr", nullptr, nullptr, "zh_CN.UTF-8", Language::Chinese},
        // ...but not under the plain C locale.
        {"zh_CN", "C", nullptr, nullptr, Language::English},
        {"zh_CN", nullptr, nullptr, "POSIX", Language::English},
        {"zh_CN", nullptr, nullptr, nullptr, Language::English},
        {"zh_CN", nullptr, nullptr, "C.UTF-8", Language::English},
    };
    for (const Choice& c : cases)
        EXPECT_EQ(ChooseLanguage(c.language, c.lcAll, c.lcMessages, c.lang), c.expected)
            << (c.language ? c.language : "-") << " " << (c.lcAll ? c.lcAll : "-") << " "
            << (c.lcMessages ? c.lcMessages : "-") << " " << (c.lang ? c.lang : "-");
}

// A catalog of three entries, as the fake translator below speaks it.
const char* Translate(const char* id) {
    if (std::strcmp(id, "文档 %ls 已存在") == 0) return "document %ls exists already";
    if (std::strcmp(id, "文档号 %i 不存在") == 0) return "no document %i";
    if (std::strcmp(id, "%ls 从 %ls 复制到 %ls") == 0) return "%3$ls gets %1$ls from %2$ls";
    if (std::strcmp(id, "%ls") == 0) return "any: %ls";
    if (std::strcmp(id, "100%% 完成 %s") == 0) return "100%% done %s";
    if (std::strcmp(id, "%ls: %ls") == 0) return "%ls: %ls";
    if (std::strcmp(id, "保存失败: %ls") == 0) return "cannot save: %ls";
    return id;
}

TEST(TranslateByTemplate, FindsTheIdAndCarriesItsArguments) {
    const std::vector<std::string> ids = {"%ls", "文档 %ls 已存在", "文档号 %i 不存在",
                                          "%ls 从 %ls 复制到 %ls", "100%% 完成 %s"};
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"文档 \\frame\\部件1.prt 已存在", "document \\frame\\部件1.prt exists already"},
        // An argument may hold the template's own literal text.
        {"文档 a 已存在 b 已存在", "document a 已存在 b exists already"},
        {"文档号 42 不存在", "no document 42"},
        {"文档号 -7 不存在", "no document -7"},
        // A numeric placeholder takes only a number: the catch-all wins.
        {"文档号 x 不存在", "any: 文档号 x 不存在"},
        {"a.prt 从 甲 复制到 乙", "乙 gets a.prt from 甲"},
        {"100% 完成 ok", "100% done ok"},
        // The id with the most literal text wins over the catch-all.
        {"文档  已存在", "document  exists already"},
    };
    for (const auto& c : cases) EXPECT_EQ(TranslateByTemplate(c.text, ids, Translate), c.expected);
}

TEST(TranslateByTemplate, TranslatesATextReportedInsideAnother) {
    const std::vector<std::string> ids = {"%ls", "文档 %ls 已存在", "文档号 %i 不存在", "%ls: %ls",
                                          "保存失败: %ls"};
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"upload: 文档号 3 不存在", "upload: no document 3"},
        {"保存失败: upload: 文档 a 已存在", "cannot save: upload: document a exists already"},
        // An argument only the bare placeholder matches stays as it is.
        {"保存失败: 甲乙", "cannot save: 甲乙"},
    };
    for (const auto& c : cases) EXPECT_EQ(TranslateByTemplate(c.text, ids, Translate), c.expected);
}

TEST(TranslateByTemplate, LeavesATextNoIdMatchesAsItIs) {
    const std::vector<std::string> ids = {"文档 %ls 已存在", "文档号 %i 不存在", "broken %q"};
    for (const char* text : {"文档 已存在", "文档号 12 不存在了", "", "broken x", "SQLITE_BUSY"})
        EXPECT_EQ(TranslateByTemplate(text, ids, Translate), text);
}

}  // namespace
}  // namespace zub::i18n
