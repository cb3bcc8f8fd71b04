// Owner of one prepared statement of a zub::sqlite::Connection, which must
// stay open while it lives. Parameters are bound by position (1-based), columns read by
// index (0-based); failures throw zub::sqlite::Error with SQLite's message
// and the statement's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace zub::sqlite {

class Connection;

class Statement {
public:
    Statement() = default;
    // Prepares the first statement of `sql`; `tail`, when given, receives the
    // text after it. Text of blanks and comments only prepares to nothing
    // (the statement is then false). Throws Error when it does not compile.
    Statement(const Connection& db, std::string_view sql, std::string_view* tail = nullptr);
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    sqlite3_stmt* get() const noexcept { return stmt_; }
    explicit operator bool() const noexcept { return stmt_ != nullptr; }
    const std::string& sql() const noexcept { return sql_; }
    int parameterCount() const;
    bool readonly() const;

    // Text is UTF-8 and copied; an empty text or blob is a value, not NULL.
    void bind(int index, long long value);
    void bind(int index, double value);
    void bind(int index, std::string_view utf8);
    void bindBlob(int index, const void* bytes, std::size_t size);
    void bindNull(int index);

    // True while a row is available, false at the end.
    bool step();
    // Steps to the end and resets, also when a step fails; for statements
    // without rows.
    void run();
    // Back to the start with every parameter unbound.
    void reset() noexcept;

    // Columns of the current row. Text is UTF-8 (empty for NULL) and valid
    // until the next step or reset.
    int columnCount() const;
    // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
    int columnType(int col) const;
    std::string_view columnName(int col) const;
    long long columnInt64(int col) const;
    double columnDouble(int col) const;
    std::string_view columnText(int col) const;
    std::vector<std::uint8_t> columnBlob(int col) const;

    // Throws Error unless rc is SQLITE_OK, SQLITE_ROW or SQLITE_DONE, with the
    // connection's message and this statement's text.
    void check(int rc) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    std::string sql_;
};

}  // namespace zub::sqlite
