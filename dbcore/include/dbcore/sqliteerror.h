// A failure of the embedded store: the SQLite (extended) result code, the
// engine's message and the statement it concerns. Accessor operations turn it
// into their status and error description; procedure bodies throw it.
#pragma once

#include <stdexcept>
#include <string>

namespace ZUBDB {

class SqliteError : public std::runtime_error {
public:
    // A zero code becomes SQLITE_ERROR: an error never reads as success.
    SqliteError(int code, std::string message, std::string statement = {});

    int code() const noexcept { return code_; }
    const std::string& message() const noexcept { return message_; }
    const std::string& statement() const noexcept { return statement_; }
    // "<message> (SQLite error <code>) in statement: <statement>".
    std::wstring Description() const;

private:
    int code_;
    std::string message_;
    std::string statement_;
};

}  // namespace ZUBDB
