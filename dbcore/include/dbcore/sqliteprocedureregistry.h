// The procedures one database of the embedded store serves, by name. Names are
// matched without regard to case.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "dbcore/sqliteprocedure.h"

namespace ZUBDB {

class SqliteProcedureRegistry {
public:
    // Replaces an earlier procedure of the same name.
    void Register(const std::wstring& name, SqliteProcedure procedure);
    void Unregister(const std::wstring& name);
    std::optional<SqliteProcedure> Find(const std::wstring& name) const;

private:
    static std::wstring Key(const std::wstring& name);

    std::map<std::wstring, SqliteProcedure> procedures_;
};

}  // namespace ZUBDB
