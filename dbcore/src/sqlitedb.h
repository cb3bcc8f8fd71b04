// Owner of one sqlite3 connection, opened the way the embedded store opens its
// files. check() is the one place where result codes become exceptions
// (SqliteError); statements on it are SqliteStatement.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct sqlite3;

namespace ZUBDB {

class SqliteDb {
public:
    // Writers queue this long for each other's locks before giving up.
    static constexpr int kBusyTimeoutMs = 10000;

    SqliteDb() = default;
    // Opens `path` (creating it only when `create`), in WAL mode with the busy
    // timeout, foreign keys and the dialect functions; throws SqliteError.
    static SqliteDb Open(const std::string& path, bool create);

    sqlite3* get() const { return db_.get(); }
    const std::string& path() const { return path_; }

    // Throws SqliteError unless rc is SQLITE_OK, SQLITE_ROW or SQLITE_DONE.
    void check(int rc, std::string_view statement = {}) const;
    // Runs a script of one or more statements that return no rows.
    void exec(const std::string& script) const;
    bool inTransaction() const;
    long long lastInsertRowid() const;
    // Ends an open transaction without reporting; used on failure paths.
    void rollbackQuietly() const noexcept;

private:
    struct Closer {
        void operator()(sqlite3* db) const noexcept;
    };
    std::unique_ptr<sqlite3, Closer> db_;
    std::string path_;
};

}  // namespace ZUBDB
