#include "dbcore/sqliteerror.h"

#include <sqlite3.h>

#include "zub/text.h"

namespace ZUBDB {
namespace {

std::string Compose(int code, const std::string& message, const std::string& statement) {
    std::string text = message + " (SQLite error " + std::to_string(code) + ")";
    if (!statement.empty()) text += " in statement: " + statement;
    return text;
}

}  // namespace

SqliteError::SqliteError(int code, std::string message, std::string statement)
    : std::runtime_error(Compose(code == SQLITE_OK ? SQLITE_ERROR : code, message, statement)),
      code_(code == SQLITE_OK ? SQLITE_ERROR : code),
      message_(std::move(message)),
      statement_(std::move(statement)) {}

std::wstring SqliteError::Description() const { return zub::Utf8ToWide(what()); }

}  // namespace ZUBDB
