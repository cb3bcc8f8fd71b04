#include "zub/sqlite/statement.h"

#include <sqlite3.h>

#include <utility>

#include "checkresult.h"
#include "zub/sqlite/connection.h"
#include "zub/sqlite/error.h"

namespace zub::sqlite {

void Statement::check(int rc) const { detail::Check(sqlite3_db_handle(stmt_), rc, sql_); }

Statement::Statement(const Connection& db, std::string_view sql, std::string_view* tail)
    : sql_(sql) {
    const char* rest = nullptr;
    // The length includes the terminator: SQLite then need not copy the text.
    db.check(sqlite3_prepare_v2(db.get(), sql_.c_str(), static_cast<int>(sql_.size()) + 1, &stmt_,
                                &rest),
             sql_);
    if (tail != nullptr) {
        const auto used =
            rest != nullptr ? static_cast<std::size_t>(rest - sql_.c_str()) : sql.size();
        *tail = sql.substr(used < sql.size() ? used : sql.size());
    }
}

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), sql_(std::move(other.sql_)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
        sql_ = std::move(other.sql_);
    }
    return *this;
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

int Statement::parameterCount() const { return sqlite3_bind_parameter_count(stmt_); }

bool Statement::readonly() const { return sqlite3_stmt_readonly(stmt_) != 0; }

void Statement::bind(int index, long long value) { check(sqlite3_bind_int64(stmt_, index, value)); }

void Statement::bind(int index, double value) { check(sqlite3_bind_double(stmt_, index, value)); }

void Statement::bind(int index, std::string_view utf8) {
    // An empty view may have no data pointer, which SQLite would bind as NULL.
    const char* bytes = utf8.data() != nullptr ? utf8.data() : "";
    check(sqlite3_bind_text64(stmt_, index, bytes, utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statement::bindBlob(int index, const void* bytes, std::size_t size) {
    static const unsigned char kEmpty = 0;
    check(sqlite3_bind_blob64(stmt_, index, bytes != nullptr ? bytes : &kEmpty, size,
                              SQLITE_TRANSIENT));
}

void Statement::bindNull(int index) { check(sqlite3_bind_null(stmt_, index)); }

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) check(rc);
    return false;
}

void Statement::run() {
    try {
        while (step()) {}
    } catch (...) {
        reset();
        throw;
    }
    reset();
}

void Statement::reset() noexcept {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

int Statement::columnType(int col) const { return sqlite3_column_type(stmt_, col); }

std::string_view Statement::columnName(int col) const {
    const char* name = sqlite3_column_name(stmt_, col);
    return name != nullptr ? std::string_view(name) : std::string_view();
}

long long Statement::columnInt64(int col) const { return sqlite3_column_int64(stmt_, col); }

double Statement::columnDouble(int col) const { return sqlite3_column_double(stmt_, col); }

std::string_view Statement::columnText(int col) const {
    const unsigned char* text = sqlite3_column_text(stmt_, col);
    if (text == nullptr) return {};  // NULL, or out of memory converting
    return {reinterpret_cast<const char*>(text),
            static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))};
}

std::vector<std::uint8_t> Statement::columnBlob(int col) const {
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, col));
    const int size = sqlite3_column_bytes(stmt_, col);
    if (bytes == nullptr || size <= 0) return {};
    return {bytes, bytes + size};
}

}  // namespace zub::sqlite
