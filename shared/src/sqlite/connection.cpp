#include "zub/sqlite/connection.h"

#include <sqlite3.h>

#include <utility>

#include "checkresult.h"
#include "zub/sqlite/error.h"

namespace zub::sqlite {

Connection::Connection(const std::string& path, int flags, int busyTimeoutMs) {
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        // A handle that failed to open still carries the reason.
        const int code = db_ != nullptr ? sqlite3_extended_errcode(db_) : rc;
        std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close_v2(std::exchange(db_, nullptr));
        throw Error(code, std::move(message));
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
}

Connection::Connection(Connection&& other) noexcept : db_(std::exchange(other.db_, nullptr)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        sqlite3_close_v2(db_);
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

Connection::~Connection() { sqlite3_close_v2(db_); }

namespace detail {

void Check(sqlite3* db, int rc, std::string_view statement) {
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int code = db != nullptr ? sqlite3_extended_errcode(db) : rc;
    // The connection's last error may belong to an earlier call when the
    // failure was detected by the API itself (misuse, range).
    if ((code & 0xff) != (rc & 0xff)) {
        code = rc;
        message = sqlite3_errstr(rc);
    }
    throw Error(code, std::move(message), std::string(statement));
}

}  // namespace detail

void Connection::check(int rc, std::string_view statement) const {
    detail::Check(db_, rc, statement);
}

void Connection::exec(const std::string& script) const {
    char* err = nullptr;
    const int rc = sqlite3_exec(db_, script.c_str(), nullptr, nullptr, &err);
    if (rc == SQLITE_OK) return;
    std::string message = err != nullptr ? err : sqlite3_errstr(rc);
    sqlite3_free(err);
    throw Error(db_ != nullptr ? sqlite3_extended_errcode(db_) : rc, std::move(message), script);
}

bool Connection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

long long Connection::lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

long long Connection::changes() const { return sqlite3_changes64(db_); }

void Connection::rollbackQuietly() const noexcept {
    if (db_ != nullptr && inTransaction()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::close() {
    if (db_ == nullptr) return;
    check(sqlite3_close(db_));
    db_ = nullptr;
}

}  // namespace zub::sqlite
