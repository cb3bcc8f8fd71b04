// One prepared SQLite statement, finalized with the object.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

class SqliteStmt {
public:
    SqliteStmt(sqlite3* db, std::string_view sql);
    SqliteStmt(SqliteStmt&& other) noexcept;
    SqliteStmt& operator=(SqliteStmt&&) = delete;
    SqliteStmt(const SqliteStmt&) = delete;
    SqliteStmt& operator=(const SqliteStmt&) = delete;
    ~SqliteStmt();

    void Bind(int index, long long value);
    void Bind(int index, double value);
    void Bind(int index, std::string_view value);
    // true while a row is available; throws on failure.
    bool Step();
    // Runs to completion and resets, for statements without rows.
    void Run();
    void Reset();

    int ColumnCount() const { return sqlite3_column_count(stmt_); }
    long long Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    double Double(int col) const { return sqlite3_column_double(stmt_, col); }
    std::string Text(int col) const;

private:
    void Check(int rc, const char* what) const;

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};
