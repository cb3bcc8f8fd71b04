// Owner of one SQLite connection. check() is where a result code becomes an
// exception (zub::sqlite::Error, with SQLite's message); statements on it are
// zub::sqlite::Statement. Callers pass sqlite3_open_v2 flags and call the C
// API through get() for what this does not cover.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace zub::sqlite {

// How long a statement waits for another connection's lock before it fails
// with SQLITE_BUSY. Several processes share each database and every lock is
// held for one short transaction, so waiting costs nothing while failing
// loses the caller's operation: the wait is set well above the longest
// transaction on a loaded or slow disk (a repair, an upgrade step, a large
// delete with synchronous writes), so that only a holder that is stuck
// (stopped, hung on its storage) turns into an error, a minute later.
inline constexpr int kBusyTimeoutMs = 60000;

class Connection {
public:
    Connection() = default;
    // Opens `path` (UTF-8, or a URI with SQLITE_OPEN_URI) with the flags of
    // sqlite3_open_v2, extended result codes on and the busy timeout set.
    // Throws Error with SQLite's message.
    Connection(const std::string& path, int flags, int busyTimeoutMs = kBusyTimeoutMs);
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Closes; statements still open keep it alive until they are finalized.
    ~Connection();

    sqlite3* get() const noexcept { return db_; }
    explicit operator bool() const noexcept { return db_ != nullptr; }

    // Throws Error unless rc is SQLITE_OK, SQLITE_ROW or SQLITE_DONE.
    void check(int rc, std::string_view statement = {}) const;
    // Runs a script of statements that return no rows; throws Error.
    void exec(const std::string& script) const;

    bool inTransaction() const;
    long long lastInsertRowid() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    long long changes() const;
    // Ends an open transaction without reporting; for failure paths.
    void rollbackQuietly() const noexcept;

    // Closes now and reports it: throws Error (and stays open) when SQLite
    // refuses, e.g. while a statement is not finalized.
    void close();
    // Gives the handle up without closing it: a connection inherited across
    // fork() belongs to the parent, with its locks.
    void abandon() noexcept { db_ = nullptr; }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace zub::sqlite
