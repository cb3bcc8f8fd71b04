#include "dbcore/sqliteprocedureregistry.h"

#include <cwctype>

namespace ZUBDB {

std::wstring SqliteProcedureRegistry::Key(const std::wstring& name) {
    std::wstring key = name;
    for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return key;
}

void SqliteProcedureRegistry::Register(const std::wstring& name, SqliteProcedure procedure) {
    procedures_[Key(name)] = std::move(procedure);
}

void SqliteProcedureRegistry::Unregister(const std::wstring& name) { procedures_.erase(Key(name)); }

std::optional<SqliteProcedure> SqliteProcedureRegistry::Find(const std::wstring& name) const {
    auto it = procedures_.find(Key(name));
    if (it == procedures_.end()) return std::nullopt;
    return it->second;
}

}  // namespace ZUBDB
