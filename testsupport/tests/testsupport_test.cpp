// The shared helpers must leave nothing behind: no folder, no changed variable.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "zubtest/files.h"
#include "zubtest/language.h"
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
        zubtest::ScopedEnv env("ZUBTEST_SET", std::nullopt);
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
        zubtest::TempDir dir("zubtest-readonly");
        kept = dir.path();
        EXPECT_EQ(kept.filename().string().rfind("zubtest-readonly-", 0), 0u) << kept;
        zubtest::WriteFile(dir.path() / "locked/inner/file", "x");
        fs::permissions(dir.path() / "locked/inner", fs::perms::owner_read | fs::perms::owner_exec);
        fs::permissions(dir.path() / "locked", fs::perms::none);
        fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_FALSE(fs::exists(kept)) << kept;
}

TEST(TempDir, InMemoryWhereTheMachineHasIt) {
    zubtest::TempDir dir("zubtest-memory", zubtest::TempDir::Medium::Memory);
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
        zubtest::Sandbox box("zubtest-sandbox");
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
        zubtest::Sandbox box("zubtest-sandbox", zubtest::TempDir::Medium::Memory);
        registry = box.registry();
        EXPECT_NE(registry.parent_path(), box.path());
        EXPECT_TRUE(fs::is_directory(registry));
        EXPECT_EQ(Env("ZUB_REGISTRY_DIR"), registry.string());
    }
    EXPECT_FALSE(fs::exists(registry));
}

TEST(Files, WriteMakesFoldersAndReadGivesBackTheBytes) {
    zubtest::TempDir dir("zubtest-files");
    const std::string bytes("a\0b\r\n\xff", 6);
    zubtest::WriteFile(dir.path() / "new/sub/f.bin", bytes);
    EXPECT_EQ(zubtest::ReadFile(dir.path() / "new/sub/f.bin"), bytes);
    zubtest::WriteFile(dir.path() / "new/sub/f.bin", "short");
    EXPECT_EQ(zubtest::ReadFile(dir.path() / "new/sub/f.bin"), "short");
    EXPECT_EQ(zubtest::ReadFile(dir.path() / "missing"), "");
    // A folder where the file should go.
    EXPECT_THROW(zubtest::WriteFile(dir.path() / "new", "x"), std::runtime_error);
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
        EXPECT_EQ(zubtest::HasCjk(c.text), c.cjk) << c.text;
        EXPECT_EQ(zubtest::EnglishRun(c.text), c.run) << c.text;
    }
}

}  // namespace
