// Owner of one prepared statement; holds exactly one SQL statement.
//
// Two ways to use it: the record-set calls (bindAll, fetchAll, scalar) that
// turn every value into a DBValue, and the raw calls (bind, step, column*,
// run, reset) that go straight to SQLite for callers that prepare once and
// read or write many rows themselves.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbcore/cdbrecordset.h"

namespace ZUBDB {

class SqliteDb;

class SqliteStatement {
public:
    // Throws SqliteError when `sql` does not compile, is empty or holds
    // more than one statement. `db` must outlive the statement.
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

    // Raw parameters (1-based); text is UTF-8 and copied. Throw SqliteError.
    void bind(int index, long long value);
    void bind(int index, double value);
    void bind(int index, std::string_view utf8);
    void bindNull(int index);

    // True while a row is available, false at the end; throws SqliteError.
    // Inline: callers time loops around it.
    bool step() {
        const int rc = sqlite3_step(stmt_.get());
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE) fail(rc);
        return false;
    }
    // Steps to the end, then reset(); for statements without rows.
    void run();
    // Back to the start with every parameter unbound, ready to run again.
    void reset() noexcept;

    // Columns of the current row (0-based). Text is UTF-8, empty for NULL,
    // and valid until the next step or reset.
    int columnCount() const { return sqlite3_column_count(stmt_.get()); }
    long long columnInt64(int col) const { return sqlite3_column_int64(stmt_.get(), col); }
    double columnDouble(int col) const { return sqlite3_column_double(stmt_.get(), col); }
    std::string_view columnText(int col) const {
        const unsigned char* text = sqlite3_column_text(stmt_.get(), col);
        if (text == nullptr) return {};  // NULL, or out of memory converting
        return {reinterpret_cast<const char*>(text),
                static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), col))};
    }

private:
    void bindValue(int index, const DBValue& value);
    DBValue column(int index) const;
    [[noreturn]] void fail(int rc) const;

    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const noexcept;
    };
    const SqliteDb* db_;
    std::string sql_;
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

}  // namespace ZUBDB
