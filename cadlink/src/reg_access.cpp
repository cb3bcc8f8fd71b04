#include "reg_access.h"

#include "zub/platform/registry.h"

namespace ZUBCAX::reg {
namespace {

namespace zp = zub::platform;

zp::RootKey Root(Hive hive) {
    return hive == Hive::LocalMachine ? zp::RootKey::LocalMachine : zp::RootKey::CurrentUser;
}

bool OpenForReading(Hive hive, const std::wstring& path, bool fallback64, zp::RegKey& key) {
    if (zp::RegOpenKey(Root(hive), path, zp::kKeyRead, key) == zp::kErrorSuccess) return true;
    return fallback64 && zp::RegOpenKey(Root(hive), path, zp::kKeyRead | zp::kKeyWow64_64Key,
                                        key) == zp::kErrorSuccess;
}

}  // namespace

std::optional<std::vector<std::wstring>> SubKeyNames(Hive hive, const std::wstring& path,
                                                     bool fallback64) {
    zp::RegKey key;
    if (!OpenForReading(hive, path, fallback64, key)) return std::nullopt;
    std::vector<std::wstring> names;
    std::wstring name;
    for (std::uint32_t i = 0; zp::RegEnumKey(key, i, name) == zp::kErrorSuccess; ++i) {
        names.push_back(name);
    }
    return names;
}

std::optional<std::wstring> ReadString(Hive hive, const std::wstring& path,
                                       const std::wstring& name, bool fallback64) {
    zp::RegKey key;
    if (!OpenForReading(hive, path, fallback64, key)) return std::nullopt;
    zp::RegValue value;
    if (zp::RegQueryValue(key, name, value) != zp::kErrorSuccess) return std::nullopt;
    if (value.type != zp::ValueType::Sz) return std::nullopt;
    return zp::RegDataToString(value.data.data(), value.data.size());
}

bool WriteString(Hive hive, const std::wstring& path, const std::wstring& name,
                 const std::wstring& data) {
    zp::RegKey key;
    if (zp::RegOpenKey(Root(hive), path, zp::kKeyWrite, key) != zp::kErrorSuccess &&
        zp::RegCreateKey(Root(hive), path, zp::kKeyWrite, key) != zp::kErrorSuccess) {
        return false;
    }
    return zp::RegSetString(key, name, data) == zp::kErrorSuccess;
}

}  // namespace ZUBCAX::reg
