// A component whose self-registration writes where the install test looks.
#include <unistd.h>

#include <cstdint>
#include <string>

#include "zub/platform/module.h"
#include "zub/platform/registry.h"

namespace pf = zub::platform;

namespace {
constexpr const wchar_t* kKey = L"software\\kittest\\regwrite";
}

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() {
    pf::RegKey key;
    if (pf::RegCreateKey(pf::RootKey::LocalMachine, kKey, pf::kKeyAllAccess, key) != 0) return 1;
    std::wstring self;
    pf::ModulePathFromAddress(reinterpret_cast<const void*>(&DllRegisterServer), self);
    char cwd[4096] = "";
    if (::getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';
    pf::RegSetString(key, L"path", self);
    pf::RegSetString(key, L"cwd", std::wstring(cwd, cwd + std::char_traits<char>::length(cwd)));
    return 0;
}

extern "C" __attribute__((visibility("default"))) std::int32_t DllUnregisterServer() {
    pf::RegDeleteTree(pf::RootKey::LocalMachine, kKey);
    pf::RegDeleteKey(pf::RootKey::LocalMachine, kKey);
    pf::RegDeleteKey(pf::RootKey::LocalMachine, L"software\\kittest");
    return 0;
}
