// A procedure of the embedded store: SQLite has none, so "Name arg,arg" calls
// are served by C++ bodies registered under the name.
#pragma once

#include <functional>
#include <vector>

#include "dbcore/cdbrecordset.h"
#include "dbcore/sqlitesession.h"

namespace ZUBDB {

enum class ProcedureKind {
    ReadOnly,       // reads only; leaves no transaction open
    Writes,         // like a table write: opens the caller's unit of work when none is open
    CommitsItself,  // durable at once when no unit of work is open (e.g. id counters)
};

struct SqliteProcedure {
    ProcedureKind kind = ProcedureKind::ReadOnly;
    std::function<CDBRecordset(SqliteSession&, const std::vector<DBValue>& args)> body;
};

}  // namespace ZUBDB
