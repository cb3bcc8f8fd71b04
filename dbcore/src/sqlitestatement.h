// Owner of one prepared statement; holds exactly one SQL statement.
//
// Two ways to use it: the record-set calls (bindAll, fetchAll, scalar) that
// turn every value into a DBValue, and the raw calls (bind, step, column*,
// run, reset) that go straight to SQLite for callers that prepare once and
// read or write many rows themselves.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dbcore/cdbrecordset.h"
#include "zub/sqlite/statement.h"

namespace ZUBDB {

class SqliteDb;

class SqliteStatement {
public:
    // Throws SqliteError when `sql` does not compile, is empty or holds
    // more than one statement. `db` must outlive the statement.
    SqliteStatement(const SqliteDb& db, std::string sql);

    const std::string& sql() const { return sql_; }
    bool readonly() const { return stmt_.readonly(); }
    int parameterCount() const { return stmt_.parameterCount(); }

    // Binds values to parameters 1..n; their number must match the statement's.
    void bindAll(const std::vector<DBValue>& values);
    // Runs to the end and returns every row; the statement is reset after it,
    // so no read transaction outlives the call.
    CDBRecordset fetchAll();
    // Column 0 of the first row (NULL when there is none), then reset.
    DBValue scalar();

    // Raw parameters (1-based); text is UTF-8 and copied. Throw SqliteError.
    void bind(int index, long long value) { stmt_.bind(index, value); }
    void bind(int index, double value) { stmt_.bind(index, value); }
    void bind(int index, std::string_view utf8) { stmt_.bind(index, utf8); }
    void bindNull(int index) { stmt_.bindNull(index); }

    // True while a row is available, false at the end; throws SqliteError.
    bool step() { return stmt_.step(); }
    // Steps to the end, then reset(); for statements without rows.
    void run() { stmt_.run(); }
    // Back to the start with every parameter unbound, ready to run again.
    void reset() noexcept { stmt_.reset(); }

    // Columns of the current row (0-based). Text is UTF-8, empty for NULL,
    // and valid until the next step or reset.
    int columnCount() const { return stmt_.columnCount(); }
    long long columnInt64(int col) const { return stmt_.columnInt64(col); }
    double columnDouble(int col) const { return stmt_.columnDouble(col); }
    std::string_view columnText(int col) const { return stmt_.columnText(col); }

private:
    void bindValue(int index, const DBValue& value);
    DBValue column(int index) const;

    std::string sql_;
    zub::sqlite::Statement stmt_;
};

}  // namespace ZUBDB
