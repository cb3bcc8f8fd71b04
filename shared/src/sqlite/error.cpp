#include "zub/sqlite/error.h"

#include <sqlite3.h>

namespace zub::sqlite {
namespace {

int Nonzero(int code) { return code == SQLITE_OK ? SQLITE_ERROR : code; }

std::string Compose(int code, const std::string& message, const std::string& statement) {
    std::string text = message + " (SQLite error " + std::to_string(code) + ")";
    if (!statement.empty()) text += " in statement: " + statement;
    return text;
}

}  // namespace

Error::Error(int code, std::string message, std::string statement)
    : std::runtime_error(Compose(Nonzero(code), message, statement)),
      code_(Nonzero(code)),
      message_(std::move(message)),
      statement_(std::move(statement)) {}

}  // namespace zub::sqlite
