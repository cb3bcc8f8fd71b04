// Owner of one sqlite3 connection, opened the way the embedded store opens its
// files. check() turns result codes into exceptions (SqliteError); statements
// on it are SqliteStatement.
#pragma once

#include <string>
#include <string_view>

#include "zub/sqlite/connection.h"

namespace ZUBDB {

class SqliteDb {
public:
    SqliteDb() = default;
    // Opens `path` (creating it only when `create`), in WAL mode with the busy
    // timeout, foreign keys and the dialect functions; throws SqliteError.
    static SqliteDb Open(const std::string& path, bool create);

    sqlite3* get() const { return db_.get(); }
    const zub::sqlite::Connection& connection() const { return db_; }
    const std::string& path() const { return path_; }

    // Throws SqliteError unless rc is SQLITE_OK, SQLITE_ROW or SQLITE_DONE.
    void check(int rc, std::string_view statement = {}) const { db_.check(rc, statement); }
    // Runs a script of one or more statements that return no rows.
    void exec(const std::string& script) const { db_.exec(script); }
    bool inTransaction() const { return db_.inTransaction(); }
    long long lastInsertRowid() const { return db_.lastInsertRowid(); }
    // Ends an open transaction without reporting; used on failure paths.
    void rollbackQuietly() const noexcept { db_.rollbackQuietly(); }

private:
    zub::sqlite::Connection db_;
    std::string path_;
};

}  // namespace ZUBDB
