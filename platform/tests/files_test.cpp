#include "zub/platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "zub/platform/folders.h"
#include "zub/text.h"
#include "zubtest/files.h"
#include "zubtest/sandbox.h"

namespace zub::platform {
namespace {

namespace fs = std::filesystem;
using zub::testsupport::Sandbox;

std::wstring W(const fs::path& p) { return Utf8ToWide(p.string()); }

TEST(Folders, SpecialFoldersLieBelowTheSandbox) {
    Sandbox box;
    box.SetEnv("TMPDIR", "/var/tmp/");
    zub::testsupport::WriteFile(box.path() / "home/.config/user-dirs.dirs",
                                "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n");
    const std::string root = box.root().string();
    const std::string home = (box.path() / "home").string();
    struct Case {
        SpecialFolder folder;
        std::string expected;
    };
    const Case cases[] = {
        {SpecialFolder::ProgramFiles, root + "/opt"},
        {SpecialFolder::CommandLinks, root + "/usr/local/bin"},
        {SpecialFolder::CommonPrograms, root + "/usr/share/applications"},
        {SpecialFolder::CommonDesktopDirectory, root + home + "/Bureau"},
        {SpecialFolder::Desktop, root + home + "/Bureau"},
        {SpecialFolder::System, root + "/usr/lib"},
        {SpecialFolder::Temp, root + "/var/tmp"},
        {SpecialFolder::AppData, root + home + "/.local/share"},
        {SpecialFolder::Programs, root + home + "/.local/share/applications"},
        {SpecialFolder::CommonAppData, root + "/var/lib"},
    };
    for (const auto& c : cases) {
        std::wstring path;
        ASSERT_EQ(GetSpecialFolder(c.folder, path), kErrorSuccess);
        EXPECT_EQ(WideToUtf8(path), c.expected) << static_cast<int>(c.folder);
    }
    std::wstring path;
    EXPECT_EQ(GetSpecialFolder(static_cast<SpecialFolder>(0x7777), path), kErrorInvalidParameter);

    // Without a sandbox and without user-dirs the plain folders come back.
    box.SetEnv("ZUB_ROOT", std::nullopt);
    fs::remove(box.path() / "home/.config/user-dirs.dirs");
    ASSERT_EQ(GetSpecialFolder(SpecialFolder::ProgramFiles, path), kErrorSuccess);
    EXPECT_EQ(path, L"/opt");
    ASSERT_EQ(GetSpecialFolder(SpecialFolder::CommonDesktopDirectory, path), kErrorSuccess);
    EXPECT_EQ(WideToUtf8(path), home + "/Desktop");
}

TEST(Folders, ThreadLocaleIsPerThreadAndSavesAndRestores) {
    Lcid saved = GetThreadLocale();
    EXPECT_EQ(saved, 0x0409u);
    EXPECT_TRUE(SetThreadLocale(0x0804));
    EXPECT_EQ(GetThreadLocale(), 0x0804u);
    Lcid other = 0;
    std::thread([&other] { other = GetThreadLocale(); }).join();
    EXPECT_EQ(other, 0x0409u);
    EXPECT_TRUE(SetThreadLocale(kLocaleSystemDefault));
    EXPECT_EQ(GetThreadLocale(), 0x0409u);
    EXPECT_FALSE(SetThreadLocale(0));
    EXPECT_TRUE(SetThreadLocale(saved));
}

TEST(Files, CreateDirectoryWithParentsReportsWhatTheInstallerChecks) {
    Sandbox box;
    zub::testsupport::WriteFile(box.path() / "file", "x");
    fs::create_directories(box.path() / "exists");
    fs::create_directories(box.path() / "locked");
    struct Case {
        std::string path;
        Error expected;
    };
    const std::string d = box.path().string();
    const Case cases[] = {
        {d + "/new/a/b/c", kErrorSuccess},
        {d + "/exists", kErrorAlreadyExists},
        {d + "/exists/", kErrorAlreadyExists},
        {d + "/file", kErrorFileExists},
        {d + "/file/sub", kErrorPathNotFound},
        {"relative/path", kErrorBadPathname},
        {"", kErrorBadPathname},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateDirectoryWithParents(Utf8ToWide(c.path)), c.expected) << c.path;
    }
    EXPECT_TRUE(fs::is_directory(d + "/new/a/b/c"));
    // No write permission: refused even for root would be the file system's
    // business; as non-root it is access denied.
    if (geteuid() != 0) {
        chmod((d + "/locked").c_str(), 0555);
        EXPECT_EQ(CreateDirectoryWithParents(Utf8ToWide(d + "/locked/x")), kErrorAccessDenied);
    }
}

TEST(Files, CopyFileOverwritesOrRefuses) {
    Sandbox box;
    // A folder of its own, so the listing below sees only what the copies made.
    const fs::path d = box.path() / "copies";
    zub::testsupport::WriteFile(d / "src.txt", "new content");
    zub::testsupport::WriteFile(d / "dst.txt", "old");
    fs::create_directories(d / "dir");
    struct Case {
        fs::path from;
        fs::path to;
        bool failIfExists;
        Error expected;
        std::string after;  // content of `to` afterwards ("" = not checked)
    };
    const Case cases[] = {
        {d / "src.txt", d / "dst.txt", true, kErrorFileExists, "old"},
        {d / "src.txt", d / "dst.txt", false, kErrorSuccess, "new content"},
        {d / "src.txt", d / "fresh.txt", true, kErrorSuccess, "new content"},
        {d / "missing.txt", d / "x.txt", false, kErrorFileNotFound, ""},
        {d / "nodir/missing.txt", d / "x.txt", false, kErrorPathNotFound, ""},
        {d / "src.txt", d / "nodir/x.txt", false, kErrorPathNotFound, ""},
        {d / "dir", d / "x.txt", false, kErrorAccessDenied, ""},
        {d / "src.txt", d / "dir", false, kErrorAccessDenied, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CopyFile(W(c.from), W(c.to), c.failIfExists), c.expected)
            << c.from << " -> " << c.to;
        if (!c.after.empty()) {
            EXPECT_EQ(zub::testsupport::ReadFile(c.to), c.after) << c.to;
        }
    }
    EXPECT_FALSE(fs::exists(d / "x.txt"));
    // No temporary file is left behind.
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(d)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dir", "dst.txt", "fresh.txt", "src.txt"}));
}

TEST(Files, CopyKeepsModeAndLastWriteTime) {
    Sandbox box;
    const fs::path d = box.path();
    zub::testsupport::WriteFile(d / "tool", "#!/bin/sh\n");
    chmod((d / "tool").c_str(), 0750);
    struct timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimes((d / "tool").c_str(), times), 0);
    ASSERT_EQ(CopyFile(W(d / "tool"), W(d / "copy"), false), kErrorSuccess);
    struct stat st {};
    ASSERT_EQ(stat((d / "copy").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
}

TEST(Files, CopyFolderCopiesTheTreeAndMergesIntoAnExistingOne) {
    Sandbox box;
    const fs::path d = box.path();
    zub::testsupport::WriteFile(d / "src/a.txt", "a1");
    zub::testsupport::WriteFile(d / "src/sub/deep/b.txt", "b1");
    fs::create_directories(d / "src/empty");
    ASSERT_EQ(CopyFolder(W(d / "src"), W(d / "out/plugins")), kErrorSuccess);
    EXPECT_EQ(zub::testsupport::ReadFile(d / "out/plugins/a.txt"), "a1");
    EXPECT_EQ(zub::testsupport::ReadFile(d / "out/plugins/sub/deep/b.txt"), "b1");
    EXPECT_TRUE(fs::is_directory(d / "out/plugins/empty"));

    // Again onto the existing copy: files are replaced, others kept.
    zub::testsupport::WriteFile(d / "src/a.txt", "a2");
    zub::testsupport::WriteFile(d / "out/plugins/mine.txt", "kept");
    ASSERT_EQ(CopyFolder(W(d / "src"), W(d / "out/plugins")), kErrorSuccess);
    EXPECT_EQ(zub::testsupport::ReadFile(d / "out/plugins/a.txt"), "a2");
    EXPECT_EQ(zub::testsupport::ReadFile(d / "out/plugins/mine.txt"), "kept");
    EXPECT_FALSE(fs::exists(d / "out/plugins/src"));

    zub::testsupport::WriteFile(d / "plainfile", "x");
    EXPECT_EQ(CopyFolder(W(d / "missing"), W(d / "o2")), kErrorFileNotFound);
    EXPECT_EQ(CopyFolder(W(d / "plainfile"), W(d / "o2")), kErrorDirectory);
    EXPECT_EQ(CopyFolder(W(d / "src"), W(d / "plainfile")), kErrorAlreadyExists);
    EXPECT_EQ(CopyFolder(W(d / "src"), W(d / "src/inner")), kErrorInvalidParameter);
}

TEST(Files, CreationTimesCompareByBirthNotByLastWrite) {
    Sandbox box;
    const fs::path d = box.path();
    zub::testsupport::WriteFile(d / "older", "1");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    zub::testsupport::WriteFile(d / "newer", "2");
    FileTime older, newer, again;
    ASSERT_EQ(GetFileCreationTime(W(d / "older"), older), kErrorSuccess);
    ASSERT_EQ(GetFileCreationTime(W(d / "newer"), newer), kErrorSuccess);
    ASSERT_EQ(GetFileCreationTime(W(d / "older"), again), kErrorSuccess);
    EXPECT_EQ(CompareFileTime(older, newer), -1);
    EXPECT_EQ(CompareFileTime(newer, older), 1);
    EXPECT_EQ(CompareFileTime(older, again), 0);
    // A FILETIME counts from 1601: today is past 13e16 ticks.
    EXPECT_GT(older.ticks, 130000000000000000ULL);

    // Writing the older file later does not make it newer where the file
    // system records birth times.
    struct statx sx {};
    ASSERT_EQ(statx(AT_FDCWD, (d / "older").c_str(), 0, STATX_BTIME, &sx), 0);
    struct timeval future[2] = {{4000000000, 0}, {4000000000, 0}};
    ASSERT_EQ(utimes((d / "older").c_str(), future), 0);
    ASSERT_EQ(GetFileCreationTime(W(d / "older"), again), kErrorSuccess);
    if ((sx.stx_mask & STATX_BTIME) != 0) {
        EXPECT_EQ(CompareFileTime(again, newer), -1);
    } else {
        EXPECT_EQ(CompareFileTime(again, newer), 1);
    }
    EXPECT_EQ(GetFileCreationTime(W(d / "missing"), again), kErrorFileNotFound);
}

// A minimal PE image: headers, one ".rsrc" section with a resource tree
// type -> name -> language -> data, and the data itself.
struct PeLayout {
    bool pe32Plus = false;
    bool withResources = true;
    std::uint32_t resourceType = 16;  // RT_VERSION
    std::uint32_t versionMs = 0;
    std::uint32_t versionLs = 0;
    bool badSignature = false;
};

std::string TinyPe(const PeLayout& layout) {
    std::vector<std::uint8_t> f(0x400, 0);
    auto put16 = [&f](std::size_t at, std::uint32_t v) {
        f[at] = static_cast<std::uint8_t>(v);
        f[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    f[0] = 'M';
    f[1] = 'Z';
    put32(0x3C, 0x40);
    f[0x40] = 'P';
    f[0x41] = 'E';
    const std::size_t coff = 0x44;
    const std::uint32_t optSize = layout.pe32Plus ? 240 : 224;
    put16(coff, layout.pe32Plus ? 0x8664 : 0x14C);
    put16(coff + 2, 1);
    put16(coff + 16, optSize);
    const std::size_t opt = coff + 20;
    put16(opt, layout.pe32Plus ? 0x20B : 0x10B);
    put32(opt + (layout.pe32Plus ? 108 : 92), 16);
    const std::size_t dirs = opt + (layout.pe32Plus ? 112 : 96);
    const std::uint32_t rva = 0x1000, raw = 0x200;
    if (layout.withResources) {
        put32(dirs + 16, rva);
        put32(dirs + 20, 0x200);
    }
    const std::size_t sec = opt + optSize;
    std::memcpy(&f[sec], ".rsrc", 5);
    put32(sec + 8, 0x200);
    put32(sec + 12, rva);
    put32(sec + 16, 0x200);
    put32(sec + 20, raw);
    // The tree: each directory has one id entry.
    put16(raw + 14, 1);
    put32(raw + 16, layout.resourceType);
    put32(raw + 20, 0x80000000U | 0x18);
    put16(raw + 0x18 + 14, 1);
    put32(raw + 0x18 + 16, 1);
    put32(raw + 0x18 + 20, 0x80000000U | 0x30);
    put16(raw + 0x30 + 14, 1);
    put32(raw + 0x30 + 16, 0x409);
    put32(raw + 0x30 + 20, 0x48);
    const std::uint32_t block = 0x58;
    put32(raw + 0x48, rva + block);
    put32(raw + 0x48 + 4, 92);
    // VS_VERSIONINFO with its fixed part at offset 40.
    put16(raw + block, 92);
    put16(raw + block + 2, 52);
    const char16_t key[] = u"VS_VERSION_INFO";
    for (std::size_t i = 0; i < 16; ++i) put16(raw + block + 6 + 2 * i, key[i]);
    put32(raw + block + 40, layout.badSignature ? 0x12345678 : 0xFEEF04BD);
    put32(raw + block + 44, 0x00010000);
    put32(raw + block + 48, layout.versionMs);
    put32(raw + block + 52, layout.versionLs);
    return std::string(f.begin(), f.end());
}

TEST(Files, FileVersionOfPeFilesAndZeroForOthers) {
    Sandbox box;
    struct Case {
        const char* name;
        std::string content;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {"v1234.dll", TinyPe({.versionMs = 0x00010002, .versionLs = 0x00030004}),
         0x0001000200030004ULL},
        {"v64.dll", TinyPe({.pe32Plus = true, .versionMs = 0x00050000, .versionLs = 0x00000007}),
         0x0005000000000007ULL},
        {"high.dll", TinyPe({.versionMs = 0xFFFF0001, .versionLs = 0xFFFFFFFF}),
         0xFFFF0001FFFFFFFFULL},
        {"noresources.dll", TinyPe({.withResources = false, .versionMs = 1}), 0},
        {"icononly.dll", TinyPe({.resourceType = 3, .versionMs = 1}), 0},
        {"badsig.dll", TinyPe({.versionMs = 1, .badSignature = true}), 0},
        {"truncated.dll", TinyPe({.versionMs = 1}).substr(0, 0x230), 0},
        {"text.txt", "MZ but nothing else", 0},
        {"empty", "", 0},
    };
    for (const auto& c : cases) {
        zub::testsupport::WriteFile(box.path() / c.name, c.content);
        EXPECT_EQ(GetFileVersion(W(box.path() / c.name)), c.expected) << c.name;
    }
    EXPECT_EQ(GetFileVersion(W(box.path() / "missing.dll")), 0u);
    EXPECT_EQ(GetFileVersion(W("/proc/self/exe")), 0u);
}

}  // namespace
}  // namespace zub::platform

namespace zub::platform {
namespace {

TEST(Files, WriteLeftoversOfOneTargetGoOthersStay) {
    Sandbox box;
    const fs::path dir = box.path() / "d";
    struct Case {
        const char* name;
        bool removed;
    } cases[] = {
        {".f.zubcopy-123", true}, {".f.tmp456", true}, {".f.tmpx", false}, {".f.zubcopy-", false},
        {".g.zubcopy-1", false},  {"f", false},        {"f.tmp1", false},
    };
    for (const auto& c : cases) zub::testsupport::WriteFile(dir / c.name, "x");
    ASSERT_EQ(RemoveWriteLeftovers(Utf8ToWide((dir / "f").string())), kErrorSuccess);
    for (const auto& c : cases) EXPECT_EQ(fs::exists(dir / c.name), !c.removed) << c.name;
    EXPECT_EQ(RemoveWriteLeftovers(Utf8ToWide((box.path() / "none/f").string())), kErrorSuccess);
}

}  // namespace
}  // namespace zub::platform
