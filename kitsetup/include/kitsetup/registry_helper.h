// The installer's registry layer: root names, key tests, string values.
#pragma once

#include <string>

#include "zub/platform/registry.h"

namespace zub::kitsetup {

enum keyRoot : int {
    kHkeyError = 0,
    kHkeyClassesRoot = 1,
    kHkeyCurrentUser = 2,
    kHkeyLocalMachine = 3,
    kHkeyUsers = 4,
    kHkeyCurrentConfig = 5,
};

namespace RegistryHelper {

// Exact names only ("HKEY_LOCAL_MACHINE"); anything else is kHkeyError.
keyRoot RootFromName(const std::wstring& name);

// Every operation throws std::invalid_argument for kHkeyError.
bool KeyExists(keyRoot root, const std::wstring& subKey);
zub::platform::RegKey OpenKey(keyRoot root, const std::wstring& subKey);
zub::platform::RegKey CreateKey(keyRoot root, const std::wstring& subKey, bool* created = nullptr);

// Stores REG_SZ without a terminating zero. 0, or -1 with the platform's
// error left as the thread's last error. Throws std::runtime_error when the
// key can be neither created nor opened.
int WriteString(keyRoot root, const std::wstring& value, const std::wstring& subKey,
                const std::wstring& valueName);
// 0 with the REG_SZ text up to its first zero, or -1 (missing key or value,
// another type). The key is opened with all access, as the product does.
int ReadString(keyRoot root, const std::wstring& subKey, const std::wstring& valueName,
               std::wstring& out);

// For undoing an install: 0 or the platform error.
zub::platform::Error DeleteValue(keyRoot root, const std::wstring& subKey,
                                 const std::wstring& valueName);
// Deletes the key only when it has neither subkeys nor values.
zub::platform::Error DeleteKeyIfEmpty(keyRoot root, const std::wstring& subKey);

}  // namespace RegistryHelper
}  // namespace zub::kitsetup
