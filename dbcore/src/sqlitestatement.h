// Owner of one prepared statement; holds exactly one SQL statement.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dbcore/cdbrecordset.h"

struct sqlite3_stmt;

namespace ZUBDB {

class SqliteDb;

class SqliteStatement {
public:
    // Throws SqliteError when `sql` does not compile, is empty or holds
    // more than one statement.
    SqliteStatement(const SqliteDb& db, std::string sql);

    const std::string& sql() const { return sql_; }
    bool readonly() const;
    int parameterCount() const;

    // Binds values to parameters 1..n; their number must match the statement's.
    void bindAll(const std::vector<DBValue>& values);
    // Runs to the end and returns every row; the statement is reset after it,
    // so no read transaction outlives the call.
    CDBRecordset fetchAll();
    // Column 0 of the first row (NULL when there is none), then reset.
    DBValue scalar();

private:
    void bind(int index, const DBValue& value);
    DBValue column(int index) const;

    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const noexcept;
    };
    const SqliteDb* db_;
    std::string sql_;
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

}  // namespace ZUBDB
