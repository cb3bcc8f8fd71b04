// The built server loaded into the test process with the registry in a
// temporary folder, and the registry read back as a flat map.
#pragma once

#include <gtest/gtest.h>
#include <zub/com/runtime.h>
#include <zub/platform/module.h>
#include <zub/platform/registry.h>
#include <zub/text.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "vaultauto_module_tests_paths.h"
#include "zubtest/sandbox.h"

namespace zub::vaultauto::test {

namespace pf = zub::platform;

// "HKCR\A\B" for a key, "HKCR\A\B|name" for a value (text data, a DWORD as
// its decimal number).
using RegistryDump = std::map<std::wstring, std::wstring>;

inline void DumpKey(const pf::RegKey& key, const std::wstring& at, RegistryDump& out) {
    std::wstring name;
    pf::RegValue value;
    for (std::uint32_t i = 0; pf::RegEnumValue(key, i, name, &value) == 0; ++i) {
        if (value.type == pf::ValueType::Dword && value.data.size() == 4) {
            std::uint32_t n = 0;
            for (int b = 3; b >= 0; --b) n = (n << 8) | value.data[static_cast<std::size_t>(b)];
            out[at + L"|" + name] = std::to_wstring(n);
        } else {
            out[at + L"|" + name] = pf::RegDataToString(value.data.data(), value.data.size());
        }
    }
    std::vector<std::wstring> subs;
    for (std::uint32_t i = 0; pf::RegEnumKey(key, i, name) == 0; ++i) subs.push_back(name);
    for (const std::wstring& sub : subs) {
        pf::RegKey child;
        if (pf::RegOpenKey(key, sub, pf::kKeyRead, child) != 0) continue;
        out[at + L"\\" + sub];
        DumpKey(child, at + L"\\" + sub, out);
    }
}

// Every key and value below HKCR\path (the key itself included).
inline RegistryDump DumpClassesRoot(const std::wstring& path) {
    RegistryDump out;
    pf::RegKey key;
    if (pf::RegOpenKey(pf::RootKey::ClassesRoot, path, pf::kKeyRead, key) != 0) return out;
    out[L"HKCR\\" + path];
    DumpKey(key, L"HKCR\\" + path, out);
    return out;
}

inline bool KeyExists(const std::wstring& path) {
    return pf::RegKeyExists(pf::RootKey::ClassesRoot, path);
}

class ServerSandbox : public ::testing::Test {
protected:
    void SetUp() override {
        // Every registry write is flushed, and a registration makes a few hundred.
        box_.emplace("vaultauto", zub::testsupport::TempDir::Medium::Memory);
        ASSERT_EQ(pf::LoadLibrary(ModulePath(), module_), 0u);
        ASSERT_EQ(Entry("DllRegisterServer", registerServer_), 0u);
        ASSERT_EQ(Entry("DllUnregisterServer", unregisterServer_), 0u);
        ASSERT_EQ(Entry("DllGetClassObject", getClassObject_), 0u);
        ASSERT_EQ(Entry("DllCanUnloadNow", canUnloadNow_), 0u);
    }
    void TearDown() override {
        module_.Free();
        box_.reset();
    }

    static std::wstring ModulePath() { return zub::Utf8ToWide(VAULTAUTO_MODULE); }

    template <class Fn>
    pf::Error Entry(const char* name, Fn& fn) {
        void* address = nullptr;
        pf::Error e = pf::GetProcAddress(module_.Handle(), name, address);
        fn = reinterpret_cast<Fn>(address);
        return e;
    }

    using HrFn = HRESULT (*)();
    HrFn registerServer_ = nullptr;
    HrFn unregisterServer_ = nullptr;
    DllGetClassObjectFn getClassObject_ = nullptr;
    DllCanUnloadNowFn canUnloadNow_ = nullptr;
    pf::Library module_;

private:
    std::optional<zub::testsupport::Sandbox> box_;
};

}  // namespace zub::vaultauto::test
