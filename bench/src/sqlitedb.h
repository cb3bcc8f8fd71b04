// A plain SQLite connection for the raw baselines and for seeding, opened the
// way the embedded store opens its files so the comparison is like for like.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "sqlitestmt.h"

class SqliteDb {
public:
    explicit SqliteDb(const std::filesystem::path& file);
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;
    ~SqliteDb();

    void Exec(std::string_view sql);
    SqliteStmt Prepare(std::string_view sql) { return SqliteStmt(db_, sql); }
    // First column of the first row as text ("" without a row).
    std::string Scalar(std::string_view sql);
    sqlite3* get() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};
