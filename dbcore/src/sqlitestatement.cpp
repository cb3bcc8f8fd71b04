#include "sqlitestatement.h"

#include <sqlite3.h>

#include "dbcore/sqliteerror.h"
#include "sqlitedb.h"
#include "zub/text.h"

namespace ZUBDB {

void SqliteStatement::Finalizer::operator()(sqlite3_stmt* stmt) const noexcept {
    sqlite3_finalize(stmt);
}

SqliteStatement::SqliteStatement(const SqliteDb& db, std::string sql)
    : db_(&db), sql_(std::move(sql)) {
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    db.check(
        sqlite3_prepare_v2(db.get(), sql_.c_str(), static_cast<int>(sql_.size()) + 1, &raw, &tail),
        sql_);
    stmt_.reset(raw);
    if (!stmt_) throw SqliteError(SQLITE_MISUSE, "empty statement", sql_);
    // Anything after the first statement other than blanks, semicolons and
    // comments is refused: one call runs one statement.
    while (tail != nullptr && *tail != '\0') {
        sqlite3_stmt* extra = nullptr;
        const char* next = nullptr;
        int rc = sqlite3_prepare_v2(db.get(), tail, -1, &extra, &next);
        std::unique_ptr<sqlite3_stmt, Finalizer> guard(extra);
        if (rc != SQLITE_OK || extra != nullptr)
            throw SqliteError(SQLITE_MISUSE, "only one statement may be run per call", sql_);
        if (next == tail) break;
        tail = next;
    }
}

bool SqliteStatement::readonly() const { return sqlite3_stmt_readonly(stmt_.get()) != 0; }

int SqliteStatement::parameterCount() const { return sqlite3_bind_parameter_count(stmt_.get()); }

void SqliteStatement::bindAll(const std::vector<DBValue>& values) {
    int expected = parameterCount();
    if (static_cast<int>(values.size()) != expected)
        throw SqliteError(SQLITE_RANGE,
                          "statement has " + std::to_string(expected) + " parameters but " +
                              std::to_string(values.size()) + " values were given",
                          sql_);
    for (std::size_t i = 0; i < values.size(); ++i) bindValue(static_cast<int>(i) + 1, values[i]);
}

void SqliteStatement::bindValue(int index, const DBValue& value) {
    sqlite3_stmt* s = stmt_.get();
    int rc = SQLITE_OK;
    if (const auto* i = std::get_if<long long>(&value)) {
        rc = sqlite3_bind_int64(s, index, *i);
    } else if (const auto* d = std::get_if<double>(&value)) {
        rc = sqlite3_bind_double(s, index, *d);
    } else if (const auto* t = std::get_if<std::wstring>(&value)) {
        std::string utf8 = zub::WideToUtf8(*t);
        rc = sqlite3_bind_text64(s, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    } else {
        rc = sqlite3_bind_null(s, index);
    }
    db_->check(rc, sql_);
}

void SqliteStatement::bind(int index, long long value) {
    const int rc = sqlite3_bind_int64(stmt_.get(), index, value);
    if (rc != SQLITE_OK) db_->check(rc, sql_);
}

void SqliteStatement::bind(int index, double value) {
    const int rc = sqlite3_bind_double(stmt_.get(), index, value);
    if (rc != SQLITE_OK) db_->check(rc, sql_);
}

void SqliteStatement::bind(int index, std::string_view utf8) {
    // An empty view may have no data pointer, which SQLite would bind as NULL.
    const char* bytes = utf8.data() != nullptr ? utf8.data() : "";
    const int rc =
        sqlite3_bind_text64(stmt_.get(), index, bytes, utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK) db_->check(rc, sql_);
}

void SqliteStatement::bindNull(int index) {
    const int rc = sqlite3_bind_null(stmt_.get(), index);
    if (rc != SQLITE_OK) db_->check(rc, sql_);
}

void SqliteStatement::fail(int rc) const {
    db_->check(rc, sql_);
    throw SqliteError(rc, sqlite3_errstr(rc), sql_);
}

void SqliteStatement::run() {
    // Reset on failure too, so the statement is reusable and holds no values.
    try {
        while (step()) {}
    } catch (...) {
        reset();
        throw;
    }
    reset();
}

void SqliteStatement::reset() noexcept {
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
}

DBValue SqliteStatement::column(int index) const {
    sqlite3_stmt* s = stmt_.get();
    switch (sqlite3_column_type(s, index)) {
        case SQLITE_INTEGER:
            return static_cast<long long>(sqlite3_column_int64(s, index));
        case SQLITE_FLOAT:
            return sqlite3_column_double(s, index);
        case SQLITE_NULL:
            return std::monostate{};
        default: {
            // Text, and blobs read as UTF-8 text.
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, index));
            int size = sqlite3_column_bytes(s, index);
            if (bytes == nullptr) return std::wstring();
            return zub::Utf8ToWide(std::string_view(bytes, static_cast<std::size_t>(size)));
        }
    }
}

CDBRecordset SqliteStatement::fetchAll() {
    sqlite3_stmt* s = stmt_.get();
    int count = sqlite3_column_count(s);
    std::vector<std::wstring> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(s, i);
        names.push_back(zub::Utf8ToWide(name != nullptr ? name : ""));
    }
    CDBRecordset result(std::move(names));
    try {
        for (;;) {
            int rc = sqlite3_step(s);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) db_->check(rc, sql_);
            std::vector<DBValue> row;
            row.reserve(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) row.push_back(column(i));
            result.AddRow(std::move(row));
        }
    } catch (...) {
        sqlite3_reset(s);
        throw;
    }
    sqlite3_reset(s);
    return result;
}

DBValue SqliteStatement::scalar() {
    sqlite3_stmt* s = stmt_.get();
    int rc = sqlite3_step(s);
    DBValue value;
    if (rc == SQLITE_ROW && sqlite3_column_count(s) > 0) value = column(0);
    sqlite3_reset(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) db_->check(rc, sql_);
    return value;
}

}  // namespace ZUBDB
