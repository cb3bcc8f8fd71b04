// The registry: keys with values, kept in two SQLite hive files.
//
// Where: $ZUB_REGISTRY_DIR/machine.sqlite3 and $ZUB_REGISTRY_DIR/user.sqlite3
// when ZUB_REGISTRY_DIR is set; else /var/lib/zub/registry/machine.sqlite3 and
// $XDG_DATA_HOME/zub/registry/user.sqlite3 (XDG_DATA_HOME defaults to
// ~/.local/share). The machine hive holds HKEY_LOCAL_MACHINE, HKEY_USERS and
// HKEY_CURRENT_CONFIG, the user hive HKEY_CURRENT_USER. The directory is read
// from the environment each time a root key is used.
//
// Windows behaviour kept:
// - Key and value names are case-insensitive and keep the case they were
//   created with. Subkeys enumerate in case-insensitive name order, values in
//   the order they were first set.
// - HKEY_CLASSES_ROOT is the merged view of HKLM\Software\Classes and
//   HKCU\Software\Classes: a key exists when it exists in either; a value and
//   a subkey of the user's side hide the machine's of the same name. As on
//   Windows, values written or deleted through HKCR go to the user's side when
//   the key exists there, else to the machine's; new keys are created on the
//   machine's side. Deleting a key through HKCR deletes it from both sides
//   (every side it is on must be writable).
// - Data is stored and returned byte for byte: a REG_SZ written without its
//   terminating zero reads back without one. String data is UTF-16LE.
// - A hive file (or its folder) the process may not write refuses every write
//   with kErrorAccessDenied, and so does opening a key of it with any write
//   access; reads still work. A hive that does not exist yet reads as empty and
//   is created by the first write.
// - The 64-bit and 32-bit view flags are accepted; there is one view.
// - Every change is one SQLite transaction (write-ahead log, synchronous FULL)
//   committed before the call returns; several processes and threads may use a
//   hive at once (a writer waits for another up to 10 seconds).
//
// Every call returns a Windows error number (0 success) and sets the thread's
// last error to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zub/platform/error.h"

namespace zub::platform {

enum class RootKey : std::uint32_t {
    ClassesRoot,
    CurrentUser,
    LocalMachine,
    Users,
    CurrentConfig,
};

// The Windows value types (numbers as in winnt.h). Any other number is stored
// and returned unchanged as well.
enum class ValueType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiSz = 7,
    Qword = 11,
};

// Access masks as in winnt.h.
using RegAccess = std::uint32_t;
inline constexpr RegAccess kKeyQueryValue = 0x0001;
inline constexpr RegAccess kKeySetValue = 0x0002;
inline constexpr RegAccess kKeyCreateSubKey = 0x0004;
inline constexpr RegAccess kKeyEnumerateSubKeys = 0x0008;
inline constexpr RegAccess kKeyNotify = 0x0010;
inline constexpr RegAccess kKeyWow64_64Key = 0x0100;
inline constexpr RegAccess kKeyWow64_32Key = 0x0200;
inline constexpr RegAccess kKeyDelete = 0x00010000;
inline constexpr RegAccess kKeyRead = 0x00020019;
inline constexpr RegAccess kKeyWrite = 0x00020006;
inline constexpr RegAccess kKeyAllAccess = 0x000F003F;

// Limits of Windows: a key name component, a value name.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;

namespace detail {
class KeyState;
}

// An open key, or a predefined root (implicitly from RootKey), or nothing.
// Closes on destruction; movable, not copyable.
class RegKey {
public:
    RegKey() = default;
    RegKey(RootKey root);  // NOLINT: a root stands wherever a key does, as HKEY_* does
    RegKey(RegKey&& other) noexcept;
    RegKey& operator=(RegKey&& other) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey();

    bool IsOpen() const { return state_ != nullptr; }
    void Close();

    // For the implementation only.
    explicit RegKey(std::shared_ptr<detail::KeyState> state);
    const std::shared_ptr<detail::KeyState>& State() const { return state_; }

private:
    std::shared_ptr<detail::KeyState> state_;
};

// A value as stored.
struct RegValue {
    ValueType type = ValueType::None;
    std::vector<std::uint8_t> data;

    bool operator==(const RegValue&) const = default;
};

// Opens parent\subKey ("a\b\c"; empty opens parent again). Missing key:
// kErrorFileNotFound. A name component longer than 255 characters or an empty
// one ("a\\b", a leading "\"): kErrorInvalidParameter / kErrorBadPathname.
Error RegOpenKey(const RegKey& parent, std::wstring_view subKey, RegAccess access, RegKey& out);

// Opens parent\subKey, creating it and its missing parents. `created` (when
// given) tells whether the key was new.
Error RegCreateKey(const RegKey& parent, std::wstring_view subKey, RegAccess access, RegKey& out,
                   bool* created = nullptr);

// Deletes parent\subKey when it has no subkeys (else kErrorAccessDenied, as
// Windows does).
Error RegDeleteKey(const RegKey& parent, std::wstring_view subKey);

// Deletes parent\subKey with all its subkeys and values; an empty subKey
// deletes the contents of parent but keeps parent itself.
Error RegDeleteTree(const RegKey& parent, std::wstring_view subKey);

Error RegDeleteValue(const RegKey& key, std::wstring_view name);

// Stores `size` bytes of `data` as value `name` ("" is the default value).
Error RegSetValue(const RegKey& key, std::wstring_view name, ValueType type, const void* data,
                  std::uint32_t size);

// RegQueryValueEx: type, data and size may each be null. With data null the
// size is set to the stored size. With a buffer smaller than the value:
// kErrorMoreData and the size set to what is needed. Missing value:
// kErrorFileNotFound.
Error RegQueryValue(const RegKey& key, std::wstring_view name, ValueType* type, void* data,
                    std::uint32_t* size);
Error RegQueryValue(const RegKey& key, std::wstring_view name, RegValue& out);

// RegEnumKeyEx / RegEnumValue by index: past the end kErrorNoMoreItems; a name
// buffer of `*nameLength` characters too small for the name and its zero:
// kErrorMoreData. On success *nameLength is the name's length without the
// zero. The value form's data buffer follows RegQueryValue.
Error RegEnumKey(const RegKey& key, std::uint32_t index, wchar_t* name, std::uint32_t* nameLength);
Error RegEnumKey(const RegKey& key, std::uint32_t index, std::wstring& name);
Error RegEnumValue(const RegKey& key, std::uint32_t index, wchar_t* name, std::uint32_t* nameLength,
                   ValueType* type, void* data, std::uint32_t* size);
Error RegEnumValue(const RegKey& key, std::uint32_t index, std::wstring& name, RegValue* value);

struct RegKeyInfo {
    std::uint32_t subKeys = 0;
    std::uint32_t maxSubKeyLength = 0;  // characters, without the zero
    std::uint32_t values = 0;
    std::uint32_t maxValueNameLength = 0;
    std::uint32_t maxValueSize = 0;  // bytes
};
Error RegQueryInfoKey(const RegKey& key, RegKeyInfo& info);

// Conveniences over the calls above.
//
// Text as UTF-16LE; `withTerminator` false stores exactly the characters.
Error RegSetString(const RegKey& key, std::wstring_view name, std::wstring_view text,
                   ValueType type = ValueType::Sz, bool withTerminator = true);
Error RegSetDword(const RegKey& key, std::wstring_view name, std::uint32_t value);
Error RegSetMultiString(const RegKey& key, std::wstring_view name,
                        const std::vector<std::wstring>& items);
// A REG_SZ or REG_EXPAND_SZ value's text up to its first zero (not expanded);
// a value of another type: kErrorInvalidData. RegGetDword wants REG_DWORD of 4
// bytes, RegGetMultiString REG_MULTI_SZ.
Error RegGetString(const RegKey& key, std::wstring_view name, std::wstring& text);
Error RegGetDword(const RegKey& key, std::wstring_view name, std::uint32_t& value);
Error RegGetMultiString(const RegKey& key, std::wstring_view name,
                        std::vector<std::wstring>& items);

// Whether parent\subKey exists (opens it for reading and closes it again).
bool RegKeyExists(const RegKey& parent, std::wstring_view subKey);

// Root names: "HKEY_CLASSES_ROOT" ... and the short forms HKCR, HKCU, HKLM,
// HKU, HKCC, compared without regard to case. False when not a root name.
bool RootKeyFromName(std::wstring_view name, RootKey& root);
std::wstring RootKeyName(RootKey root);

// Text <-> data as stored: UTF-16LE, and REG_MULTI_SZ items each with a zero
// and one more zero at the end.
std::vector<std::uint8_t> StringToRegData(std::wstring_view text, bool withTerminator);
std::wstring RegDataToString(const std::uint8_t* data, std::size_t size);  // up to the first zero
std::vector<std::uint8_t> MultiStringToRegData(const std::vector<std::wstring>& items);
std::vector<std::wstring> RegDataToMultiString(const std::uint8_t* data, std::size_t size);

// The hive files used now (from the environment).
std::string MachineHivePath();
std::string UserHivePath();

}  // namespace zub::platform
