// Every command with Chinese, accented and emoji file names, under each locale
// people run it in, and with no locale set at all.
#include <locale.h>
#include <cctype>
#include <clocale>
#include <cstdlib>

#include "vaultrunner.h"
#include "zubtest/tempdir.h"

namespace zub::vault::test {

namespace fs = std::filesystem;

namespace {

struct LocaleRow {
    const char* lang;    // nullptr: no locale variable at all
    const char* source;  // localedef's input, to make the locale when missing
};

const LocaleRow kLocales[] = {
    {nullptr, nullptr},
    {"C.UTF-8", nullptr},
    {"en_US.UTF-8", "en_US"},
    {"zh_CN.UTF-8", "zh_CN"},
};

struct NameRow {
    const char* stem;
    const char* renamed;
};

const NameRow kNames[] = {
    {"轴承座_图纸", "轴承座_改"},
    {"Lager_Ø20_é", "Lager_Ø25_ü"},
    {"bolt_🔩", "bolt_🔧"},
};

// A folder of locales made here when the system lacks one; empty when none
// was needed or they cannot be made.
const fs::path& MadeLocales() {
    static zub::testsupport::TempDir dir("vault-locales");
    return dir.path();
}

// The environment for the row, or nothing when the locale is unavailable.
std::optional<std::map<std::string, std::string>> EnvFor(const LocaleRow& row) {
    std::map<std::string, std::string> env{
        {"LC_ALL", ""}, {"LC_CTYPE", ""}, {"LANGUAGE", ""}, {"LANG", ""}};
    if (row.lang == nullptr) return env;
    env["LANG"] = row.lang;
    if (locale_t l = ::newlocale(LC_ALL_MASK, row.lang, nullptr)) {
        ::freelocale(l);
        return env;
    }
    if (row.source == nullptr) return std::nullopt;
    const fs::path made = MadeLocales() / row.lang;
    if (!fs::exists(made)) {
        const std::string command = std::string("localedef -i ") + row.source + " -f UTF-8 '" +
                                    made.string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return std::nullopt;
    }
    env["LOCPATH"] = MadeLocales().string();
    return env;
}

}  // namespace

class VaultLocaleCli : public VaultCli, public ::testing::WithParamInterface<LocaleRow> {
protected:
    RunResult In(const std::vector<std::string>& args) { return Run(args, env_); }
    std::string OkIn(const std::vector<std::string>& args) {
        const RunResult r = In(args);
        std::string line;
        for (const auto& a : args) line += " " + a;
        EXPECT_EQ(r.code, 0) << "vault" << line << "\n" << r.out << r.err;
        return r.out;
    }

    std::map<std::string, std::string> env_;
};

TEST_P(VaultLocaleCli, EveryCommandKeepsNonAsciiNames) {
    const auto env = EnvFor(GetParam());
    if (!env) GTEST_SKIP() << GetParam().lang << " is not available and cannot be made";
    env_ = *env;
    InitStore();
    OkIn({"repo", "create", "图纸库"});
    int id = 0;
    for (const NameRow& n : kNames) {
        SCOPED_TRACE(n.stem);
        ++id;
        const std::string file = std::string(n.stem) + ".prt";
        const std::string renamed = std::string(n.renamed) + ".prt";
        const std::string doc = std::to_string(id);
        WriteFile("in/" + file, "rev A " + file);
        EXPECT_EQ(
            In({"doc", "add", "图纸库", "in/" + file, "--base", "in", "--json"}).Json()["name"],
            file);
        EXPECT_NE(OkIn({"doc", "list", "图纸库"}).find(file), std::string::npos);

        OkIn({"doc", "view", doc, "view"});
        EXPECT_EQ(ReadFile(Path("view/" + file)), "rev A " + file);

        OkIn({"doc", "checkout", doc, "work"});
        WriteFile("work/" + file, "rev B " + file);
        OkIn({"doc", "checkin", doc, "work/" + file, "-m", "修改 é 🔩"});
        const auto history = In({"doc", "history", doc, "--json"}).Json();
        ASSERT_EQ(history.size(), 2u);
        EXPECT_EQ(history[0]["message"], "修改 é 🔩");

        OkIn({"doc", "rename", doc, renamed});
        EXPECT_EQ(In({"doc", "show", doc, "--json"}).Json()["name"], renamed);
        OkIn({"doc", "get", doc, "1.0", "old"});
        EXPECT_EQ(ReadFile(Path("old/" + renamed)), "rev A " + file);
    }

    OkIn({"baseline", "create", "图纸库", "基线_é_🔩"});
    OkIn({"baseline", "download", "图纸库", "基线_é_🔩", "frozen"});
    OkIn({"repo", "backup", "图纸库", "backup"});
    for (const NameRow& n : kNames) {
        const std::string renamed = std::string(n.renamed) + ".prt";
        EXPECT_EQ(ReadFile(Path("frozen/" + renamed)), "rev B " + std::string(n.stem) + ".prt");
        EXPECT_EQ(ReadFile(Path("backup/" + renamed)), "rev B " + std::string(n.stem) + ".prt");
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, VaultLocaleCli, ::testing::ValuesIn(kLocales),
                         [](const ::testing::TestParamInfo<LocaleRow>& row) {
                             if (row.param.lang == nullptr) return std::string("NoLocale");
                             std::string name;
                             for (const char* c = row.param.lang; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

}  // namespace zub::vault::test
