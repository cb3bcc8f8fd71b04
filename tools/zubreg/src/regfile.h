// The registry editor's text format ("Windows Registry Editor Version 5.00"):
// export of a key with its subtree, import of such a file.
#pragma once

#include <string>

#include "zub/platform/registry.h"

namespace zub::zubreg {

// "HKLM\Software\Co" or "HKEY_LOCAL_MACHINE\Software\Co": the root and the
// rest. False when the text does not start with a root name.
bool SplitKeyPath(const std::wstring& path, platform::RootKey& root, std::wstring& subKey);

// Opens (or creates) a key given by its full path; kErrorFileNotFound for an
// unknown root.
platform::Error OpenKeyPath(const std::wstring& path, platform::RegAccess access,
                            platform::RegKey& key, bool create);

// The key at `path` and everything below it as .reg text (header included,
// lines ending in "\r\n" as the registry editor writes them). Strings that do
// not read back exactly as a quoted text (no terminating zero, a zero inside)
// are written as hex(1) so an import restores them byte for byte.
platform::Error ExportKey(const std::wstring& path, std::wstring& text);

struct ImportResult {
    platform::Error error = platform::kErrorSuccess;
    int line = 0;          // 1-based line of the failure, 0 when none
    std::wstring message;  // why, in the user's language
};

// Applies .reg text: "[KEY]" creates the key, "[-KEY]" deletes it with its
// subtree, "name"=... / @=... set values and "name"=- deletes one. Stops at the
// first bad line or refused change; what came before it stays applied.
ImportResult ImportText(const std::wstring& text);

// File bytes to text: UTF-16LE with its byte-order mark (what the registry
// editor writes) or UTF-8 (with or without a mark).
std::wstring DecodeRegFile(const std::string& bytes);

// A value as `reg query` shows it: type name and data text.
std::wstring TypeName(platform::ValueType type);
std::wstring DataText(const platform::RegValue& value);

}  // namespace zub::zubreg
