#include "reg_access.h"

#include "zub/platform/registry.h"

namespace ZUBCAX::reg {
namespace {

namespace pf = zub::platform;

pf::RootKey Root(Hive hive) {
    return hive == Hive::LocalMachine ? pf::RootKey::LocalMachine : pf::RootKey::CurrentUser;
}

bool OpenForReading(Hive hive, const std::wstring& path, bool fallback64, pf::RegKey& key) {
    if (pf::RegOpenKey(Root(hive), path, pf::kKeyRead, key) == pf::kErrorSuccess) return true;
    return fallback64 && pf::RegOpenKey(Root(hive), path, pf::kKeyRead | pf::kKeyWow64_64Key,
                                        key) == pf::kErrorSuccess;
}

}  // namespace

std::optional<std::vector<std::wstring>> SubKeyNames(Hive hive, const std::wstring& path,
                                                     bool fallback64) {
    pf::RegKey key;
    if (!OpenForReading(hive, path, fallback64, key)) return std::nullopt;
    std::vector<std::wstring> names;
    std::wstring name;
    for (std::uint32_t i = 0; pf::RegEnumKey(key, i, name) == pf::kErrorSuccess; ++i) {
        names.push_back(name);
    }
    return names;
}

std::optional<std::wstring> ReadString(Hive hive, const std::wstring& path,
                                       const std::wstring& name, bool fallback64) {
    pf::RegKey key;
    if (!OpenForReading(hive, path, fallback64, key)) return std::nullopt;
    pf::RegValue value;
    if (pf::RegQueryValue(key, name, value) != pf::kErrorSuccess) return std::nullopt;
    if (value.type != pf::ValueType::Sz) return std::nullopt;
    return pf::RegDataToString(value.data.data(), value.data.size());
}

bool WriteString(Hive hive, const std::wstring& path, const std::wstring& name,
                 const std::wstring& data) {
    pf::RegKey key;
    if (pf::RegOpenKey(Root(hive), path, pf::kKeyWrite, key) != pf::kErrorSuccess &&
        pf::RegCreateKey(Root(hive), path, pf::kKeyWrite, key) != pf::kErrorSuccess) {
        return false;
    }
    return pf::RegSetString(key, name, data) == pf::kErrorSuccess;
}

}  // namespace ZUBCAX::reg
