#include <array>
#include <cwctype>

#include "zub/platform/registry.h"
#include "zub/text.h"

namespace zub::platform {

namespace {

struct RootName {
    RootKey root;
    const wchar_t* longName;
    const wchar_t* shortName;
};

constexpr std::array<RootName, 5> kRoots = {{
    {RootKey::ClassesRoot, L"HKEY_CLASSES_ROOT", L"HKCR"},
    {RootKey::CurrentUser, L"HKEY_CURRENT_USER", L"HKCU"},
    {RootKey::LocalMachine, L"HKEY_LOCAL_MACHINE", L"HKLM"},
    {RootKey::Users, L"HKEY_USERS", L"HKU"},
    {RootKey::CurrentConfig, L"HKEY_CURRENT_CONFIG", L"HKCC"},
}};

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(static_cast<wint_t>(a[i])) != std::towupper(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

bool RootKeyFromName(std::wstring_view name, RootKey& root) {
    for (const auto& r : kRoots) {
        if (SameIgnoringCase(name, r.longName) || SameIgnoringCase(name, r.shortName)) {
            root = r.root;
            return true;
        }
    }
    return false;
}

std::wstring RootKeyName(RootKey root) {
    for (const auto& r : kRoots) {
        if (r.root == root) return r.longName;
    }
    return {};
}

std::vector<std::uint8_t> StringToRegData(std::wstring_view text, bool withTerminator) {
    std::u16string units = WideToUtf16(text);
    if (withTerminator) units.push_back(u'\0');
    std::vector<std::uint8_t> data;
    data.reserve(units.size() * 2);
    for (char16_t c : units) {
        data.push_back(static_cast<std::uint8_t>(c & 0xFF));
        data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return data;
}

namespace {

std::u16string Units(const std::uint8_t* data, std::size_t size) {
    std::u16string units;
    units.reserve(size / 2);
    // An odd last byte is no whole character and is left out.
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    return units;
}

}  // namespace

std::wstring RegDataToString(const std::uint8_t* data, std::size_t size) {
    std::u16string units = Units(data, size);
    auto zero = units.find(u'\0');
    if (zero != std::u16string::npos) units.resize(zero);
    return Utf16ToWide(units);
}

std::vector<std::uint8_t> MultiStringToRegData(const std::vector<std::wstring>& items) {
    std::vector<std::uint8_t> data;
    for (const auto& item : items) {
        auto part = StringToRegData(item, true);
        data.insert(data.end(), part.begin(), part.end());
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

std::vector<std::wstring> RegDataToMultiString(const std::uint8_t* data, std::size_t size) {
    std::u16string units = Units(data, size);
    std::vector<std::wstring> items;
    std::size_t start = 0;
    while (start < units.size()) {
        std::size_t zero = units.find(u'\0', start);
        if (zero == start) break;  // the empty item ends the list
        if (zero == std::u16string::npos) zero = units.size();
        items.push_back(Utf16ToWide(std::u16string_view(units).substr(start, zero - start)));
        start = zero + 1;
    }
    return items;
}

Error RegSetString(const RegKey& key, std::wstring_view name, std::wstring_view text,
                   ValueType type, bool withTerminator) {
    auto data = StringToRegData(text, withTerminator);
    return RegSetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
}

Error RegSetDword(const RegKey& key, std::wstring_view name, std::uint32_t value) {
    std::uint8_t data[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                            static_cast<std::uint8_t>(value >> 16),
                            static_cast<std::uint8_t>(value >> 24)};
    return RegSetValue(key, name, ValueType::Dword, data, 4);
}

Error RegSetMultiString(const RegKey& key, std::wstring_view name,
                        const std::vector<std::wstring>& items) {
    auto data = MultiStringToRegData(items);
    return RegSetValue(key, name, ValueType::MultiSz, data.data(),
                       static_cast<std::uint32_t>(data.size()));
}

Error RegGetString(const RegKey& key, std::wstring_view name, std::wstring& text) {
    RegValue value;
    Error e = RegQueryValue(key, name, value);
    if (e != kErrorSuccess) return e;
    if (value.type != ValueType::Sz && value.type != ValueType::ExpandSz) {
        SetLastError(kErrorInvalidData);
        return kErrorInvalidData;
    }
    text = RegDataToString(value.data.data(), value.data.size());
    return kErrorSuccess;
}

Error RegGetDword(const RegKey& key, std::wstring_view name, std::uint32_t& out) {
    RegValue value;
    Error e = RegQueryValue(key, name, value);
    if (e != kErrorSuccess) return e;
    if (value.type != ValueType::Dword || value.data.size() != 4) {
        SetLastError(kErrorInvalidData);
        return kErrorInvalidData;
    }
    out = static_cast<std::uint32_t>(value.data[0]) |
          static_cast<std::uint32_t>(value.data[1]) << 8 |
          static_cast<std::uint32_t>(value.data[2]) << 16 |
          static_cast<std::uint32_t>(value.data[3]) << 24;
    return kErrorSuccess;
}

Error RegGetMultiString(const RegKey& key, std::wstring_view name,
                        std::vector<std::wstring>& items) {
    RegValue value;
    Error e = RegQueryValue(key, name, value);
    if (e != kErrorSuccess) return e;
    if (value.type != ValueType::MultiSz) {
        SetLastError(kErrorInvalidData);
        return kErrorInvalidData;
    }
    items = RegDataToMultiString(value.data.data(), value.data.size());
    return kErrorSuccess;
}

}  // namespace zub::platform
