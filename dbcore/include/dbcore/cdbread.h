// A read described before it is made, for CDBAccessor::ReadAhead.
#pragma once

#include <string>

#include "dbcore/qvparams.h"

namespace ZUBDB {

struct CDBRead {
    // SelectRows(table, columns, params, order) while sql is empty, else
    // ExecuteSql(sql, params).
    std::wstring table;
    std::wstring columns;
    std::wstring order;
    std::wstring sql;
    QVParams params{false};
};

}  // namespace ZUBDB
