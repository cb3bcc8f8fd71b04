// What one install did, kept in the machine's registry hive (which users
// without administrator rights cannot change) so that an uninstall, or the
// next install after a failed or killed one, undoes exactly that and nothing
// else. The record is stored before each change it describes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "kitsetup/registry_helper.h"

namespace zub::kitsetup {

// HKEY_LOCAL_MACHINE key holding one value per product key.
inline constexpr const wchar_t* kInstallRecordKey = L"Software\\kitsetup\\installs";

struct InstallRecord {
    struct RegistryValue {
        int root = kHkeyError;
        std::wstring subKey;
        std::wstring name;
        bool existed = false;   // had a value before the install
        std::wstring previous;  // its text then (REG_SZ only)
    };
    struct RegistryKey {
        int root = kHkeyError;
        std::wstring subKey;
    };
    struct CommandLink {
        std::wstring link;
        std::wstring target;
    };

    std::wstring installDir;
    std::wstring productKey;                     // below HKEY_LOCAL_MACHINE
    bool complete = false;                       // ExecInstall returned 0
    std::vector<std::wstring> createdDirs;       // in creation order
    std::vector<std::wstring> createdFiles;      // removed by an uninstall
    std::vector<std::wstring> overwrittenFiles;  // existed before: left in place
    std::vector<std::wstring> skippedFiles;      // kept by the overwrite policy
    std::vector<std::wstring> registeredDlls;    // DllRegisterServer was called
    std::vector<std::wstring> registeredAssemblies;
    std::vector<std::wstring> shortcuts;
    std::vector<CommandLink> commandLinks;
    std::vector<RegistryValue> registryValues;
    std::vector<RegistryKey> createdKeys;  // parents first

    // Called after every note that adds something to undo; the install
    // stores the record there and fails when it cannot.
    std::function<void()> changed;

    // Notes a directory or file the install is about to create, unless it
    // exists already (then it is not ours to remove).
    void NoteDir(const std::wstring& path);
    void NoteFile(const std::wstring& path, bool existedBefore);
    // Before a registry write: remembers the old value and the keys it creates.
    void NoteRegistryWrite(keyRoot root, const std::wstring& subKey, const std::wstring& name);
    void NoteDll(const std::wstring& path);
    void NoteAssembly(const std::wstring& path);
    void NoteShortcut(const std::wstring& path);
    void NoteCommandLink(const std::wstring& link, const std::wstring& target);

    // JSON text; FromJson throws std::runtime_error on text it cannot read.
    std::string ToJson() const;
    static InstallRecord FromJson(const std::string& text);

    // Throws std::runtime_error when the record cannot be written.
    void Store() const;
    // The record of a product key, or of the install in dir (compared as the
    // folders they reach). False when there is none; a record that cannot be
    // read throws std::runtime_error.
    static bool Find(const std::wstring& productKey, InstallRecord& out);
    static bool FindByDir(const std::wstring& dir, InstallRecord& out);
    // Removes the record, and the installer's own keys once they are empty.
    static void Erase(const std::wstring& productKey);
    // Removes the installer's own keys when no record is left in them.
    static void Tidy();

private:
    void Changed() const {
        if (changed) changed();
    }
};

}  // namespace zub::kitsetup
