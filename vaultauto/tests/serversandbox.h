// The built server loaded into the test process with the registry in a
// temporary folder, and the registry read back as a flat map.
#pragma once

#include <gtest/gtest.h>
#include <zub/com/runtime.h>
#include <zub/platform/module.h>
#include <zub/platform/registry.h>
#include <zub/text.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "zubtest/tempdir.h"

namespace vaultauto_test {

// A registry folder in memory where there is one: every registry write is
// flushed to disk, and a registration makes a few hundred of them.
class ScratchRegistry {
public:
    ScratchRegistry() {
        std::error_code ec;
        if (std::filesystem::is_directory("/dev/shm", ec)) {
            std::string pattern = "/dev/shm/vaultauto-registry-XXXXXX";
            if (mkdtemp(pattern.data())) {
                path_ = pattern;
                return;
            }
        }
        fallback_.emplace("vaultauto-registry");
        path_ = fallback_->str();
    }
    ~ScratchRegistry() {
        if (fallback_) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;
    const std::string& str() const { return path_; }

private:
    std::string path_;
    std::optional<zubtest::TempDir> fallback_;
};

namespace plat = zub::platform;

// "HKCR\A\B" for a key, "HKCR\A\B|name" for a value (text data, a DWORD as
// its decimal number).
using RegistryDump = std::map<std::wstring, std::wstring>;

inline void DumpKey(const plat::RegKey& key, const std::wstring& at, RegistryDump& out) {
    std::wstring name;
    plat::RegValue value;
    for (std::uint32_t i = 0; plat::RegEnumValue(key, i, name, &value) == 0; ++i) {
        if (value.type == plat::ValueType::Dword && value.data.size() == 4) {
            std::uint32_t n = 0;
            for (int b = 3; b >= 0; --b) n = (n << 8) | value.data[static_cast<std::size_t>(b)];
            out[at + L"|" + name] = std::to_wstring(n);
        } else {
            out[at + L"|" + name] = plat::RegDataToString(value.data.data(), value.data.size());
        }
    }
    std::vector<std::wstring> subs;
    for (std::uint32_t i = 0; plat::RegEnumKey(key, i, name) == 0; ++i) subs.push_back(name);
    for (const std::wstring& sub : subs) {
        plat::RegKey child;
        if (plat::RegOpenKey(key, sub, plat::kKeyRead, child) != 0) continue;
        out[at + L"\\" + sub];
        DumpKey(child, at + L"\\" + sub, out);
    }
}

// Every key and value below HKCR\path (the key itself included).
inline RegistryDump DumpClassesRoot(const std::wstring& path) {
    RegistryDump out;
    plat::RegKey key;
    if (plat::RegOpenKey(plat::RootKey::ClassesRoot, path, plat::kKeyRead, key) != 0) return out;
    out[L"HKCR\\" + path];
    DumpKey(key, L"HKCR\\" + path, out);
    return out;
}

inline bool KeyExists(const std::wstring& path) {
    return plat::RegKeyExists(plat::RootKey::ClassesRoot, path);
}

class ServerSandbox : public ::testing::Test {
protected:
    void SetUp() override {
        registry_.emplace();
        if (const char* old = std::getenv("ZUB_REGISTRY_DIR")) oldRegistry_ = old;
        setenv("ZUB_REGISTRY_DIR", registry_->str().c_str(), 1);
        ASSERT_EQ(plat::LoadLibrary(ModulePath(), module_), 0u);
        ASSERT_EQ(Entry("DllRegisterServer", registerServer_), 0u);
        ASSERT_EQ(Entry("DllUnregisterServer", unregisterServer_), 0u);
        ASSERT_EQ(Entry("DllGetClassObject", getClassObject_), 0u);
        ASSERT_EQ(Entry("DllCanUnloadNow", canUnloadNow_), 0u);
    }
    void TearDown() override {
        module_.Free();
        if (oldRegistry_)
            setenv("ZUB_REGISTRY_DIR", oldRegistry_->c_str(), 1);
        else
            unsetenv("ZUB_REGISTRY_DIR");
        registry_.reset();
    }

    static std::wstring ModulePath() { return zub::Utf8ToWide(VAULTAUTO_MODULE); }

    template <class Fn>
    plat::Error Entry(const char* name, Fn& fn) {
        void* address = nullptr;
        plat::Error e = plat::GetProcAddress(module_.Handle(), name, address);
        fn = reinterpret_cast<Fn>(address);
        return e;
    }

    using HrFn = HRESULT (*)();
    HrFn registerServer_ = nullptr;
    HrFn unregisterServer_ = nullptr;
    DllGetClassObjectFn getClassObject_ = nullptr;
    DllCanUnloadNowFn canUnloadNow_ = nullptr;
    plat::Library module_;

private:
    std::optional<ScratchRegistry> registry_;
    std::optional<std::string> oldRegistry_;
};

}  // namespace vaultauto_test
