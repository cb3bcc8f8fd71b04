// The registry as the version finders use it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ZUBCAX::reg {

enum class Hive { LocalMachine, CurrentUser };

// Subkey names in enumeration order; nothing when the key cannot be opened
// (a key missing from the default view is looked for in the 64-bit view
// when `fallback64`).
std::optional<std::vector<std::wstring>> SubKeyNames(Hive hive, const std::wstring& path,
                                                     bool fallback64);
// A string value; nothing when the key or value is missing or no string.
std::optional<std::wstring> ReadString(Hive hive, const std::wstring& path,
                                       const std::wstring& name, bool fallback64);
// Writes a string value, creating the key when it cannot be opened.
bool WriteString(Hive hive, const std::wstring& path, const std::wstring& name,
                 const std::wstring& data);

}  // namespace ZUBCAX::reg
