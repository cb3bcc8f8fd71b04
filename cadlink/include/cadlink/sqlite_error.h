// Failure of the mirror store, with SQLite's code (or 1000 for our own) and a
// message "NAME[code]: text".
#pragma once

#include <exception>
#include <string>

namespace ZUBCAX {

class SqliteError : public std::exception {
public:
    static constexpr int kNotOpen = 1000;

    SqliteError(int code, const std::wstring& text);
    ~SqliteError() override = default;
    SqliteError(const SqliteError&) = default;
    SqliteError& operator=(const SqliteError&) = default;

    int code() const noexcept { return code_; }
    const std::wstring& message() const noexcept { return message_; }
    const char* what() const noexcept override { return "SqliteError"; }

    // "SQLITE_OK" .. "SQLITE_RANGE", "SQLITE_ROW", "SQLITE_DONE",
    // "SQLITEDB_ERROR" for 1000, else "UNKNOWN_ERROR".
    static const wchar_t* CodeName(int code) noexcept;

private:
    int code_;
    std::wstring message_;
};

}  // namespace ZUBCAX
