// What a stored-procedure body of the embedded store may do: run statements on
// the calling accessor's connection, inside the unit of work the accessor
// chose for the call. Failures are thrown as SqliteError.
#pragma once

#include <string>
#include <vector>

#include "dbcore/cdbrecordset.h"

namespace ZUBDB {

class SqliteSession {
public:
    virtual ~SqliteSession() = default;
    // One statement (UTF-8), parameters bound 1..n; every row it returns.
    virtual CDBRecordset Query(const std::string& sql, const std::vector<DBValue>& args) = 0;
    // One statement; the number of rows it changed.
    virtual long long Execute(const std::string& sql, const std::vector<DBValue>& args) = 0;
};

}  // namespace ZUBDB
