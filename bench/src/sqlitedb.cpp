#include "sqlitedb.h"

#include <stdexcept>
#include <string>

SqliteDb::SqliteDb(const std::filesystem::path& file) {
    const int rc = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        throw std::runtime_error("open " + file.string() + ": " + msg);
    }
    sqlite3_busy_timeout(db_, 10000);
    // Same settings as the store's own connections: write-ahead log, the
    // default (full) synchronous level, foreign keys on.
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA foreign_keys=ON");
}

SqliteDb::~SqliteDb() { sqlite3_close_v2(db_); }

void SqliteDb::Exec(std::string_view sql) {
    char* err = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        throw std::runtime_error("\"" + text.substr(0, 200) + "\": " + msg);
    }
}

std::string SqliteDb::Scalar(std::string_view sql) {
    SqliteStmt stmt = Prepare(sql);
    return stmt.Step() ? stmt.Text(0) : std::string();
}
