#include "zub/platform/module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform_tests_paths.h"
#include "zub/text.h"
#include "zubtest/files.h"
#include "zubtest/sandbox.h"

namespace zub::platform {
namespace {

using zub::testsupport::Sandbox;

const std::wstring kModule = Utf8ToWide(ZUB_TEST_MODULE);

std::string DataFile(const char* name) {
    return zub::testsupport::ReadFile(std::filesystem::path(ZUB_TEST_DATA) / name);
}

TEST(Module, LoadFindExportAndFree) {
    Library lib;
    ASSERT_EQ(LoadLibrary(kModule, lib), kErrorSuccess);
    ASSERT_TRUE(lib.IsLoaded());
    void* fn = nullptr;
    ASSERT_EQ(GetProcAddress(lib.Handle(), "zub_test_answer", fn), kErrorSuccess);
    EXPECT_EQ(reinterpret_cast<int (*)()>(fn)(), 42);
    EXPECT_EQ(GetProcAddress(lib.Handle(), "DllRegisterServer", fn), kErrorProcNotFound);
    EXPECT_EQ(fn, nullptr);
    EXPECT_TRUE(lib.Free());
    EXPECT_FALSE(lib.Free());
}

TEST(Module, LoadFailuresCarryWindowsNumbers) {
    Sandbox box;
    zub::testsupport::WriteFile(box.path() / "text.dll", "not a library");
    struct Case {
        std::wstring path;
        Error expected;
    };
    const Case cases[] = {
        {Utf8ToWide((box.path() / "missing.so").string()), kErrorModNotFound},
        {Utf8ToWide((box.path() / "text.dll").string()), kErrorBadExeFormat},
        {Utf8ToWide(box.path().string()), kErrorAccessDenied},
        {L"libno-such-library-anywhere.so", kErrorModNotFound},
        {L"", kErrorModNotFound},
    };
    for (const auto& c : cases) {
        Library lib;
        EXPECT_EQ(LoadLibrary(c.path, lib), c.expected) << WideToUtf8(c.path);
        EXPECT_FALSE(lib.IsLoaded());
        EXPECT_EQ(LastError(), c.expected);
    }
}

TEST(Module, PathOfTheModuleContainingAnAddress) {
    Library lib;
    ASSERT_EQ(LoadLibrary(kModule, lib), kErrorSuccess);
    void* fn = nullptr;
    ASSERT_EQ(GetProcAddress(lib.Handle(), "zub_test_answer", fn), kErrorSuccess);
    std::wstring path;
    ASSERT_EQ(ModulePathFromAddress(fn, path), kErrorSuccess);
    EXPECT_EQ(std::filesystem::path(path),
              std::filesystem::path(ZUB_TEST_MODULE).lexically_normal());
    ASSERT_EQ(ModulePath(lib.Handle(), path), kErrorSuccess);
    EXPECT_EQ(std::filesystem::path(path),
              std::filesystem::path(ZUB_TEST_MODULE).lexically_normal());

    // The program's own path, by address and by the null module.
    std::wstring self;
    ASSERT_EQ(ModulePathFromAddress(reinterpret_cast<const void*>(&DataFile), self), kErrorSuccess);
    EXPECT_EQ(std::filesystem::path(self), std::filesystem::read_symlink("/proc/self/exe"));
    ASSERT_EQ(ModulePath(nullptr, path), kErrorSuccess);
    EXPECT_EQ(path, self);
    // And of the platform library itself.
    ASSERT_EQ(ModulePathFromAddress(reinterpret_cast<const void*>(&ErrorText), path),
              kErrorSuccess);
    EXPECT_NE(path.find(L"zub_platform"), std::wstring::npos);

    int onStack = 0;
    EXPECT_EQ(ModulePathFromAddress(&onStack, path), kErrorModNotFound);
}

TEST(Module, ResourcesByTypeAndId) {
    Library lib;
    ASSERT_EQ(LoadLibrary(kModule, lib), kErrorSuccess);
    struct Case {
        const char* type;
        std::uint32_t id;
        Error expected;
        const char* file;
    };
    const Case cases[] = {
        {"TYPELIB", 1, kErrorSuccess, "tiny.tlb"},
        {"typelib", 1, kErrorSuccess, "tiny.tlb"},
        {"REGISTRY", 101, kErrorSuccess, "appid.rgs"},
        {"REGISTRY", 102, kErrorSuccess, "empty.bin"},
        {"REGISTRY", 103, kErrorResourceNameNotFound, nullptr},
        {"TYPELIB", 2, kErrorResourceNameNotFound, nullptr},
        {"BITMAP", 1, kErrorResourceTypeNotFound, nullptr},
    };
    for (const auto& c : cases) {
        std::span<const std::uint8_t> data;
        EXPECT_EQ(FindResource(lib.Handle(), c.type, c.id, data), c.expected) << c.type << c.id;
        if (c.file != nullptr) {
            EXPECT_EQ(std::string(data.begin(), data.end()), DataFile(c.file)) << c.file;
        }
    }
    void* fn = nullptr;
    ASSERT_EQ(GetProcAddress(lib.Handle(), "zub_test_answer", fn), kErrorSuccess);
    std::span<const std::uint8_t> data;
    ASSERT_EQ(FindResourceOfAddress(fn, "TYPELIB", 1, data), kErrorSuccess);
    EXPECT_EQ(std::string(data.begin(), data.end()), DataFile("tiny.tlb"));
}

TEST(Module, ModulesWithoutResourcesHaveNone) {
    // Neither the program nor the platform library carries a table, even
    // while a loaded library does.
    Library lib;
    ASSERT_EQ(LoadLibrary(kModule, lib), kErrorSuccess);
    std::span<const std::uint8_t> data;
    EXPECT_EQ(FindResource(nullptr, "TYPELIB", 1, data), kErrorResourceDataNotFound);
    EXPECT_EQ(FindResourceOfAddress(reinterpret_cast<const void*>(&ErrorText), "TYPELIB", 1, data),
              kErrorResourceDataNotFound);
    // A dependency's table does not answer for the library that loads it.
    Library dependent;
    ASSERT_EQ(LoadLibrary(Utf8ToWide(ZUB_TEST_DEPENDENT), dependent), kErrorSuccess);
    EXPECT_EQ(FindResource(dependent.Handle(), "TYPELIB", 1, data), kErrorResourceDataNotFound);
}

}  // namespace
}  // namespace zub::platform
