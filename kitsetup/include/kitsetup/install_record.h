// What one install did, kept in the install directory so that an uninstall
// can undo exactly that and nothing else.
#pragma once

#include <string>
#include <vector>

#include "kitsetup/registry_helper.h"

namespace kitsetup {

inline constexpr const char* kManifestName = "kitsetup-manifest.json";

struct InstallRecord {
    struct RegistryValue {
        int root = kHkeyError;
        std::wstring subKey;
        std::wstring name;
        bool existed = false;    // had a value before the install
        std::wstring previous;   // its text then (REG_SZ only)
    };
    struct RegistryKey {
        int root = kHkeyError;
        std::wstring subKey;
    };

    std::wstring installDir;
    std::wstring productKey;  // below HKEY_LOCAL_MACHINE
    bool complete = false;    // ExecInstall returned 0
    std::vector<std::wstring> createdDirs;       // in creation order
    std::vector<std::wstring> createdFiles;      // removed by an uninstall
    std::vector<std::wstring> overwrittenFiles;  // existed before: left in place
    std::vector<std::wstring> skippedFiles;      // kept by the overwrite policy
    std::vector<std::wstring> registeredDlls;    // DllRegisterServer succeeded
    std::vector<std::wstring> registeredAssemblies;
    std::vector<std::wstring> shortcuts;
    std::vector<RegistryValue> registryValues;
    std::vector<RegistryKey> createdKeys;  // parents first

    // Notes a directory or file the install is about to create, unless it
    // exists already (then it is not ours to remove).
    void NoteDir(const std::wstring& path);
    void NoteFile(const std::wstring& path, bool existedBefore);
    // Before a registry write: remembers the old value and the keys it creates.
    void NoteRegistryWrite(keyRoot root, const std::wstring& subKey, const std::wstring& name);

    // JSON text; throws std::runtime_error on a file that cannot be read or parsed.
    void Save(const std::string& path) const;
    static InstallRecord Load(const std::string& path);
};

}  // namespace kitsetup
