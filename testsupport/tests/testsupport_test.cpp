// The shared helpers must leave nothing behind: no folder, no changed variable.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "zub_testsupport_tests_paths.h"
#include "zubtest/files.h"
#include "zubtest/language.h"
#include "zubtest/languagerun.h"
#include "zubtest/sandbox.h"
#include "zubtest/scopedenv.h"
#include "zubtest/tempdir.h"

namespace fs = std::filesystem;

namespace {

std::optional<std::string> Env(const char* name) {
    const char* value = ::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

TEST(ScopedEnv, RestoresTheValueOrAbsenceFromBeforeTheFirstChange) {
    ::setenv("ZUBTEST_SET", "before", 1);
    ::unsetenv("ZUBTEST_UNSET");
    {
        zub::testsupport::ScopedEnv env("ZUBTEST_SET", std::nullopt);
        EXPECT_EQ(Env("ZUBTEST_SET"), std::nullopt);
        env.Set("ZUBTEST_SET", "second");
        env.Set("ZUBTEST_UNSET", "now");
        env.Set("ZUBTEST_UNSET", "again");
        EXPECT_EQ(Env("ZUBTEST_SET"), "second");
        EXPECT_EQ(Env("ZUBTEST_UNSET"), "again");
    }
    EXPECT_EQ(Env("ZUBTEST_SET"), "before");
    EXPECT_EQ(Env("ZUBTEST_UNSET"), std::nullopt);
    ::unsetenv("ZUBTEST_SET");
}

TEST(TempDir, RemovesContentsTheTestMadeReadOnly) {
    if (::geteuid() == 0) GTEST_SKIP() << "rights do not stop root";
    fs::path kept;
    {
        zub::testsupport::TempDir dir("zubtest-readonly");
        kept = dir.path();
        EXPECT_EQ(kept.filename().string().rfind("zubtest-readonly-", 0), 0u) << kept;
        zub::testsupport::WriteFile(dir.path() / "locked/inner/file", "x");
        fs::permissions(dir.path() / "locked/inner", fs::perms::owner_read | fs::perms::owner_exec);
        fs::permissions(dir.path() / "locked", fs::perms::none);
        fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_FALSE(fs::exists(kept)) << kept;
}

TEST(TempDir, InMemoryWhereTheMachineHasIt) {
    zub::testsupport::TempDir dir("zubtest-memory", zub::testsupport::TempDir::Medium::Memory);
    std::error_code ec;
    const fs::path expected = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                                  ? fs::path("/dev/shm")
                                  : fs::temp_directory_path();
    EXPECT_EQ(dir.path().parent_path(), expected);
    EXPECT_TRUE(fs::is_directory(dir.path()));
}

TEST(Sandbox, PointsTheMachineIntoItsFolderAndPutsEverythingBack) {
    ::setenv("ZUB_ROOT", "/outside/root", 1);
    ::unsetenv("ZUB_REGISTRY_DIR");
    const std::optional<std::string> home = Env("HOME");
    fs::path dir;
    {
        zub::testsupport::Sandbox box("zubtest-sandbox");
        dir = box.path();
        EXPECT_EQ(Env("ZUB_ROOT"), box.root().string());
        EXPECT_EQ(Env("ZUB_REGISTRY_DIR"), box.registry().string());
        EXPECT_EQ(Env("HOME"), box.home().string());
        EXPECT_EQ(Env("XDG_CONFIG_HOME"), (box.home() / ".config").string());
        EXPECT_EQ(Env("XDG_DATA_HOME"), (box.home() / ".local/share").string());
        EXPECT_TRUE(fs::is_directory(box.root()));
        EXPECT_TRUE(fs::is_directory(box.registry()));
        for (const fs::path& p : {box.root(), box.registry(), box.home()})
            EXPECT_EQ(p.parent_path(), dir) << p;
        box.SetEnv("ZUB_PRIVILEGED", "1");
        EXPECT_EQ(Env("ZUB_PRIVILEGED"), "1");
    }
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_EQ(Env("ZUB_ROOT"), "/outside/root");
    EXPECT_EQ(Env("ZUB_REGISTRY_DIR"), std::nullopt);
    EXPECT_EQ(Env("ZUB_PRIVILEGED"), std::nullopt);
    EXPECT_EQ(Env("HOME"), home);
    ::unsetenv("ZUB_ROOT");
}

TEST(Sandbox, ARegistryInMemoryGoesWithIt) {
    fs::path registry;
    {
        zub::testsupport::Sandbox box("zubtest-sandbox", zub::testsupport::TempDir::Medium::Memory);
        registry = box.registry();
        EXPECT_NE(registry.parent_path(), box.path());
        EXPECT_TRUE(fs::is_directory(registry));
        EXPECT_EQ(Env("ZUB_REGISTRY_DIR"), registry.string());
    }
    EXPECT_FALSE(fs::exists(registry));
}

TEST(Files, WriteMakesFoldersAndReadGivesBackTheBytes) {
    zub::testsupport::TempDir dir("zubtest-files");
    const std::string bytes("a\0b\r\n\xff", 6);
    zub::testsupport::WriteFile(dir.path() / "new/sub/f.bin", bytes);
    EXPECT_EQ(zub::testsupport::ReadFile(dir.path() / "new/sub/f.bin"), bytes);
    zub::testsupport::WriteFile(dir.path() / "new/sub/f.bin", "short");
    EXPECT_EQ(zub::testsupport::ReadFile(dir.path() / "new/sub/f.bin"), "short");
    EXPECT_EQ(zub::testsupport::ReadFile(dir.path() / "missing"), "");
    // A folder where the file should go.
    EXPECT_THROW(zub::testsupport::WriteFile(dir.path() / "new", "x"), std::runtime_error);
}

}  // namespace

namespace {

TEST(Language, TellsChineseAndEnglishText) {
    const struct {
        const char* text;
        bool cjk;
        const char* run;
    } cases[] = {
        {"文档 bracket.prt 已检出", true, ""},
        {"document 3 is checked out", false, "is checked out"},
        {"error 49611: 文档 \\frame\\x.prt 已存在", true, ""},
        {"错误 49611：document exists already", true, "document exists already"},
        {"vault doc checkout --repo parts 3", false, ""},
        {"a b c d", false, ""},
        {"部件，设计", true, ""},
        {"No such file", false, "No such file"},
        {"/home/u/My Project Files/x.prt", false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zub::testsupport::HasCjk(c.text), c.cjk) << c.text;
        EXPECT_EQ(zub::testsupport::EnglishRun(c.text), c.run) << c.text;
    }
}

TEST(Language, FindsTheLineThatLeavesTheLanguage) {
    using zub::testsupport::Speaks;
    const std::string notFound = "The system cannot find the file specified.";
    const struct {
        const char* text;
        Speaks language;
        std::vector<std::string> verbatim;
        const char* line;
    } cases[] = {
        {"usage: zubreg list\nregistry key 文档\n", Speaks::English, {}, "registry key 文档"},
        {"已检出\nfailed to check out\n", Speaks::Chinese, {}, "failed to check out"},
        {"zubreg：HKLM\\X：The system cannot find the file specified.（2）",
         Speaks::Chinese,
         {},
         "zubreg：HKLM\\X：The system cannot find the file specified.（2）"},
        // Shown as it is: cut out before the line is judged.
        {"zubreg：HKLM\\X：The system cannot find the file specified.（2）",
         Speaks::Chinese,
         {notFound},
         ""},
        {"文档 已存在\n", Speaks::English, {"文档"}, "文档 已存在"},
        {"3 rows\nversion: Wildfire 4.0\n", Speaks::English, {}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zub::testsupport::MixedLine(c.text, c.language, c.verbatim), c.line) << c.text;
}

TEST(Language, RunsAProgramInTheLanguageAsked) {
    // The test's own choice must not leak into the program.
    zub::testsupport::ScopedEnv env("LANGUAGE", "de");
    env.Set("LC_ALL", "de_DE.UTF-8");
    env.Set("LC_MESSAGES", "de_DE.UTF-8");
    const std::string script =
        "echo \"$LANG|${LANGUAGE-none}|${LC_ALL-none}|${LC_MESSAGES-none}\"; cat; echo e >&2; "
        "exit 3";
    const struct {
        zub::testsupport::Speaks language;
        const char* out;
    } cases[] = {
        {zub::testsupport::Speaks::Chinese, "zh_CN.UTF-8|none|none|none\nin"},
        {zub::testsupport::Speaks::English, "en_US.UTF-8|none|none|none\nin"},
    };
    for (const auto& c : cases) {
        const auto run = zub::testsupport::RunSpeaking(c.language, "/bin/sh", {"-c", script}, "in");
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "e\n");
    }
}

TEST(Language, KnowsWhichTextsTheLibraryCatalogLacks) {
    zub::testsupport::TempDir dir("zubtest-catalog");
    const fs::path messages = dir.path() / "en/LC_MESSAGES";
    fs::create_directories(messages);
    zub::testsupport::WriteFile(
        dir.path() / "en.po",
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
        "msgid \"model file not found: %s\"\nmsgstr \"model file not found: %s\"\n");
    const std::string compile = std::string("'") + ZUB_MSGFMT + "' -o '" +
                                (messages / "zub-library.mo").string() + "' '" +
                                (dir.path() / "en.po").string() + "'";
    ASSERT_EQ(std::system(compile.c_str()), 0) << compile;
    zub::testsupport::ScopedEnv env("ZUB_LOCALEDIR", dir.str());
    EXPECT_EQ(zub::testsupport::NotInLibraryCatalog(
                  {"model file not found: /tmp/a.prt", "Type mismatch.", "model file not found"}),
              (std::vector<std::string>{"Type mismatch.", "model file not found"}));
}

}  // namespace
