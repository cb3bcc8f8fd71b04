#include "zub/sqlite/error.h"

#include <sqlite3.h>

#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::sqlite {
namespace {

int Nonzero(int code) { return code == SQLITE_OK ? SQLITE_ERROR : code; }

std::string Compose(int code, const std::string& message, const std::string& statement) {
    if (statement.empty())
        return zub::Format(ZUB_N_("%s (SQLite error %d)"), message.c_str(), code);
    return zub::Format(ZUB_N_("%s (SQLite error %d) in statement: %s"), message.c_str(), code,
                       statement.c_str());
}

}  // namespace

Error::Error(int code, std::string message, std::string statement)
    : std::runtime_error(Compose(Nonzero(code), message, statement)),
      code_(Nonzero(code)),
      message_(std::move(message)),
      statement_(std::move(statement)) {}

}  // namespace zub::sqlite
