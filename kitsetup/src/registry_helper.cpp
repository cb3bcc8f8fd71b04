#include "kitsetup/registry_helper.h"

#include <stdexcept>

namespace zub::kitsetup::RegistryHelper {

namespace pf = zub::platform;

namespace {

pf::RootKey Root(keyRoot root) {
    switch (root) {
        case kHkeyClassesRoot:
            return pf::RootKey::ClassesRoot;
        case kHkeyCurrentUser:
            return pf::RootKey::CurrentUser;
        case kHkeyLocalMachine:
            return pf::RootKey::LocalMachine;
        case kHkeyUsers:
            return pf::RootKey::Users;
        case kHkeyCurrentConfig:
            return pf::RootKey::CurrentConfig;
        case kHkeyError:
            break;
    }
    throw std::invalid_argument(
        "catch an exception: std::invalid_argument, because keyRoot != kHkeyError not "
        "established");
}

}  // namespace

keyRoot RootFromName(const std::wstring& name) {
    if (name == L"HKEY_CLASSES_ROOT") return kHkeyClassesRoot;
    if (name == L"HKEY_CURRENT_USER") return kHkeyCurrentUser;
    if (name == L"HKEY_LOCAL_MACHINE") return kHkeyLocalMachine;
    if (name == L"HKEY_USERS") return kHkeyUsers;
    if (name == L"HKEY_CURRENT_CONFIG") return kHkeyCurrentConfig;
    return kHkeyError;
}

bool KeyExists(keyRoot root, const std::wstring& subKey) {
    return pf::RegKeyExists(pf::RegKey(Root(root)), subKey);
}

pf::RegKey OpenKey(keyRoot root, const std::wstring& subKey) {
    pf::RegKey key;
    pf::RegOpenKey(pf::RegKey(Root(root)), subKey, pf::kKeyAllAccess, key);
    return key;
}

pf::RegKey CreateKey(keyRoot root, const std::wstring& subKey, bool* created) {
    pf::RegKey key;
    pf::RegCreateKey(pf::RegKey(Root(root)), subKey, pf::kKeyAllAccess, key, created);
    return key;
}

int WriteString(keyRoot root, const std::wstring& value, const std::wstring& subKey,
                const std::wstring& valueName) {
    const pf::RegKey key = CreateKey(root, subKey);
    if (!key.IsOpen()) {
        throw std::runtime_error(
            "catch an exception: std::runtime_error, because hKey != 0 not established");
    }
    const pf::Error e = pf::RegSetString(key, valueName, value, pf::ValueType::Sz, false);
    if (e != 0) {
        pf::SetLastError(e);
        return -1;
    }
    return 0;
}

int ReadString(keyRoot root, const std::wstring& subKey, const std::wstring& valueName,
               std::wstring& out) {
    const pf::RegKey key = OpenKey(root, subKey);
    if (!key.IsOpen()) return -1;
    pf::RegValue value;
    if (pf::RegQueryValue(key, valueName, value) != 0 || value.type != pf::ValueType::Sz) return -1;
    out = pf::RegDataToString(value.data.data(), value.data.size());
    return 0;
}

pf::Error DeleteValue(keyRoot root, const std::wstring& subKey, const std::wstring& valueName) {
    pf::RegKey key;
    const pf::Error e = pf::RegOpenKey(pf::RegKey(Root(root)), subKey, pf::kKeyAllAccess, key);
    if (e != 0) return e;
    return pf::RegDeleteValue(key, valueName);
}

pf::Error DeleteKeyIfEmpty(keyRoot root, const std::wstring& subKey) {
    pf::RegKey key;
    pf::Error e = pf::RegOpenKey(pf::RegKey(Root(root)), subKey, pf::kKeyRead, key);
    if (e != 0) return e;
    pf::RegKeyInfo info;
    e = pf::RegQueryInfoKey(key, info);
    if (e != 0) return e;
    if (info.subKeys != 0 || info.values != 0) return pf::kErrorDirNotEmpty;
    key.Close();
    return pf::RegDeleteKey(pf::RegKey(Root(root)), subKey);
}

}  // namespace zub::kitsetup::RegistryHelper
