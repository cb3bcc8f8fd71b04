// What scripts and users read of a failure in either language: the number,
// the library's own text unchanged, and the text in the user's language.
#include <filesystem>
#include <sstream>

#include "helpformatter.h"
#include "vaultrunner.h"
#include "zubtest/language.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

namespace {

struct LanguageRow {
    const char* name;
    const char* lang;
    const char* exists;     // the library's "exists already", as the user reads it
    const char* fileFix;    // the start of verify's fix for a missing file
    const char* errorWord;  // "error" in the failure line
    const char* commands;   // the manual's section of the commands
};

const LanguageRow kRows[] = {
    {"English", "en_US.UTF-8", "the document \\x.prt exists already", "put the file back",
     "vault: error 49611: ", ".SH COMMANDS\n"},
    {"Chinese", "zh_CN.UTF-8", "文档 \\x.prt 已存在", "从备份中恢复文件",
     "vault: 错误 49611: ", ".SH 命令\n"},
};

// Test names and failures name the language.
void PrintTo(const LanguageRow& row, std::ostream* os) { *os << row.name; }

}  // namespace

class VaultLanguageCli : public VaultCli, public ::testing::WithParamInterface<LanguageRow> {
protected:
    RunResult In(const std::vector<std::string>& args) {
        return Run(args, {{"LANG", GetParam().lang}});
    }
};

TEST_P(VaultLanguageCli, AFailureInJsonKeepsTheLibrarysTextBesideTheTranslation) {
    InitWithUsers();
    WriteFile("x.prt", "x");
    Ok({"doc", "add", "demo", "x.prt"});
    const RunResult r = In({"doc", "add", "demo", "x.prt", "--json"});
    EXPECT_EQ(r.code, 1);
    const auto j = r.Json();
    EXPECT_EQ(j["error"], 49611);
    // The library's text is its own whatever the user's language.
    EXPECT_EQ(j["message"], "文档 \\x.prt 已存在");
    EXPECT_EQ(j["localized"], GetParam().exists);
    EXPECT_EQ(r.err, GetParam().errorWord + std::string(GetParam().exists) + "\n");
}

TEST_P(VaultLanguageCli, EachFailedFileOfABatchCarriesBothTexts) {
    InitWithUsers();
    WriteFile("in/x.prt", "x");
    WriteFile("in/y.prt", "y");
    Ok({"doc", "add", "demo", "in/x.prt", "--base", "in"});
    const RunResult r = In({"doc", "add", "demo", "in", "--base", "in", "--json"});
    EXPECT_EQ(r.code, 1);
    const auto j = r.Json();
    ASSERT_EQ(j["failed"].size(), 1u) << r.out;
    EXPECT_EQ(j["failed"][0]["error"], 49611);
    EXPECT_EQ(j["failed"][0]["message"], "文档 \\x.prt 已存在");
    EXPECT_EQ(j["failed"][0]["localized"], GetParam().exists);
    EXPECT_EQ(j["added"].size(), 1u);
}

TEST_P(VaultLanguageCli, VerifyDescribesInTheLibrarysWordsAndFixesInOurs) {
    InitWithUsers();
    WriteFile("x.prt", "x");
    Ok({"doc", "add", "demo", "x.prt"});
    for (const auto& e : fs::recursive_directory_iterator(store_ / "files"))
        if (e.path().filename() == "x.prt") fs::remove(e.path());
    const RunResult r = In({"verify", "--json"});
    EXPECT_EQ(r.code, 1);
    const auto j = r.Json();
    ASSERT_FALSE(j.empty()) << r.out;
    const auto& f = j[0];
    EXPECT_EQ(f["kind"], "file-missing");
    EXPECT_EQ(f["fix"].get<std::string>().rfind(GetParam().fileFix, 0), 0u) << f;
    // The description is the library's; only its shown form is translated.
    const bool chinese = std::string(GetParam().lang).rfind("zh", 0) == 0;
    EXPECT_EQ(f["text"] == f["localized"], chinese) << f;
}

TEST_P(VaultLanguageCli, TheManualIsWrittenInTheUsersLanguage) {
    const RunResult r = In({"help", "--man"});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find(GetParam().commands), std::string::npos);
    const bool chinese = std::string(GetParam().lang).rfind("zh", 0) == 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        // A usage line is the command's syntax (vault rights grant [选项] REPO WHO RIGHTS).
        if (chinese && line.rfind(".SS vault ", 0) == 0) continue;
        if (chinese)
            EXPECT_EQ(zub::testsupport::EnglishRun(line), "") << line;
        else
            EXPECT_FALSE(zub::testsupport::HasCjk(line)) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, VaultLanguageCli, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<LanguageRow>& row) {
                             return std::string(row.param.name);
                         });

TEST(VaultHelpFormatter, DescriptionsStartAtTheSameTerminalColumn) {
    const struct {
        const char* name;
        const char* description;
        const char* line;
    } rows[] = {
        {"--store TEXT", "Folder", "  --store TEXT  Folder\n"},
        {"--store 文本", "存储库", "  --store 文本  存储库\n"},
        {"--a", "", "  --a           \n"},
        {"--much-too-long", "x", "  --much-too-long\n                x\n"},
        {"--b", "one\ntwo", "  --b           one\n                two\n"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(HelpFormatter::Line(r.name, r.description, 16), r.line) << r.name;
}

}  // namespace zub::vault::test
