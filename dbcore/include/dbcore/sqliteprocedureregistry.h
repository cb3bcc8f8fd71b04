// The process-wide table of procedures the embedded store serves. Names are
// matched without regard to case. GetNewId and QV_p_DMGetUserAuths are
// registered from the start.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "dbcore/sqliteprocedure.h"

namespace ZUBDB {

class SqliteProcedureRegistry {
public:
    static SqliteProcedureRegistry& instance();

    // Replaces an earlier procedure of the same name.
    void Register(const std::wstring& name, SqliteProcedure procedure);
    void Unregister(const std::wstring& name);
    std::optional<SqliteProcedure> Find(const std::wstring& name) const;

private:
    SqliteProcedureRegistry();
    static std::wstring Key(const std::wstring& name);

    mutable std::mutex mutex_;
    std::map<std::wstring, SqliteProcedure> procedures_;
};

}  // namespace ZUBDB
