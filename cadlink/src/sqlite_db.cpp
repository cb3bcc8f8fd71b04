#include "cadlink/sqlite_db.h"

#include <sqlite3.h>

#include <string>

#include "cadlink/sqlite_error.h"
#include "zub/i18n.h"
#include "zub/sqlite/error.h"
#include "zub/sqlite/statement.h"
#include "zub/text.h"

namespace ZUBCAX {
namespace {

// Connections report extended codes; this class names the primary ones.
[[noreturn]] void Raise(const zub::sqlite::Error& e) {
    throw SqliteError(e.primary(), zub::Utf8ToWide(e.message()));
}

}  // namespace

SqliteDb::~SqliteDb() = default;

void SqliteDb::Open(const std::wstring& path) {
    if (IsOpen()) Close();
    try {
        db_ = zub::sqlite::Connection(zub::WideToUtf8(path),
                                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyTimeoutMs_);
        // A database made here holds UTF-16 text, as one made by sqlite3_open16.
        db_.exec("PRAGMA encoding='UTF-16'");
    } catch (const zub::sqlite::Error& e) {
        db_ = {};
        Raise(e);
    }
}

int SqliteDb::Execute(const std::wstring& statement) {
    if (!IsOpen()) throw SqliteError(SqliteError::kNotOpen, ZUB_N_(L"Database not open"));
    try {
        // Only the first statement of the text runs; an empty one runs nothing.
        zub::sqlite::Statement stmt(db_, zub::WideToUtf8(statement));
        // A busy or constraint failure is a failure too, not only SQLITE_ERROR.
        if (stmt) stmt.step();
    } catch (const zub::sqlite::Error& e) {
        Raise(e);
    }
    return 0;
}

void SqliteDb::Close() {
    try {
        db_.close();
    } catch (const zub::sqlite::Error& e) {
        Raise(e);
    }
}

}  // namespace ZUBCAX
