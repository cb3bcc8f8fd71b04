// A failure of an SQLite call: the (extended) result code, SQLite's message
// and the statement it concerns. What every connection's check() throws; its
// what() reads "<message> (SQLite error <code>) in statement: <statement>".
#pragma once

#include <stdexcept>
#include <string>

namespace zub::sqlite {

class Error : public std::runtime_error {
public:
    // A zero code becomes SQLITE_ERROR: an error never reads as success.
    Error(int code, std::string message, std::string statement = {});

    // The extended result code when SQLite gave one.
    int code() const noexcept { return code_; }
    // The primary result code (SQLITE_BUSY, SQLITE_CONSTRAINT, ...).
    int primary() const noexcept { return code_ & 0xff; }
    const std::string& message() const noexcept { return message_; }
    const std::string& statement() const noexcept { return statement_; }

private:
    int code_;
    std::string message_;
    std::string statement_;
};

}  // namespace zub::sqlite
