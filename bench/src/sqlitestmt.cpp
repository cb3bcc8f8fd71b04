#include "sqlitestmt.h"

#include <stdexcept>
#include <utility>

SqliteStmt::SqliteStmt(sqlite3* db, std::string_view sql) : db_(db) {
    const int rc =
        sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        throw std::runtime_error("prepare \"" + std::string(sql) + "\": " + sqlite3_errmsg(db_));
}

SqliteStmt::SqliteStmt(SqliteStmt&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

SqliteStmt::~SqliteStmt() { sqlite3_finalize(stmt_); }

void SqliteStmt::Check(int rc, const char* what) const {
    if (rc != SQLITE_OK) throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db_));
}

void SqliteStmt::Bind(int index, long long value) {
    Check(sqlite3_bind_int64(stmt_, index, value), "bind");
}

void SqliteStmt::Bind(int index, double value) {
    Check(sqlite3_bind_double(stmt_, index, value), "bind");
}

void SqliteStmt::Bind(int index, std::string_view value) {
    Check(sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                            SQLITE_TRANSIENT),
          "bind");
}

bool SqliteStmt::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw std::runtime_error(std::string("step: ") + sqlite3_errmsg(db_));
}

void SqliteStmt::Run() {
    while (Step()) {}
    Reset();
}

void SqliteStmt::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string SqliteStmt::Text(int col) const {
    const auto* p = sqlite3_column_text(stmt_, col);
    if (p == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(p),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)));
}
