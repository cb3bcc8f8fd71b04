#include "cadlink/sqlite_db.h"

#include <sqlite3.h>

#include <memory>
#include <string>

#include "cadlink/sqlite_error.h"
#include "zub/text.h"

namespace ZUBCAX {
namespace {

struct StatementFinalizer {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

std::wstring ErrorText(sqlite3* db) {
    const void* text = sqlite3_errmsg16(db);
    if (text == nullptr) return {};
    return zub::Utf16ToWide(static_cast<const char16_t*>(text));
}

}  // namespace

SqliteDb::~SqliteDb() {
    if (db_ != nullptr) sqlite3_close(db_);
}

void SqliteDb::Raise(int code) const { throw SqliteError(code, ErrorText(db_)); }

void SqliteDb::Open(const std::wstring& path) {
    if (db_ != nullptr) Close();
    const std::u16string path16 = zub::WideToUtf16(path);
    sqlite3* db = nullptr;
    const int rc = sqlite3_open16(path16.c_str(), &db);
    if (rc != SQLITE_OK) {
        // sqlite3_open16 hands out a handle even on failure; it carries the text.
        const std::wstring text = ErrorText(db);
        sqlite3_close(db);
        throw SqliteError(rc, text);
    }
    db_ = db;
    sqlite3_busy_timeout(db_, busyTimeoutMs_);
}

int SqliteDb::Execute(const std::wstring& statement) {
    if (db_ == nullptr) throw SqliteError(SqliteError::kNotOpen, L"Database not open");
    const std::u16string text = zub::WideToUtf16(statement);
    for (;;) {
        sqlite3_stmt* raw = nullptr;
        int rc = sqlite3_prepare16_v2(db_, text.c_str(), -1, &raw, nullptr);
        Statement stmt(raw);
        if (rc != SQLITE_OK) Raise(rc);
        // An empty statement prepares to nothing and has nothing to run.
        if (!stmt) return 0;
        rc = sqlite3_step(stmt.get());
        // A busy or constraint failure is a failure too, not only SQLITE_ERROR.
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            const std::wstring why = ErrorText(db_);
            stmt.reset();
            throw SqliteError(rc, why);
        }
        rc = sqlite3_finalize(stmt.release());
        if (rc != SQLITE_SCHEMA) return 0;
    }
}

void SqliteDb::Close() {
    if (db_ == nullptr) return;
    const int rc = sqlite3_close(db_);
    if (rc != SQLITE_OK) Raise(rc);
    db_ = nullptr;
}

}  // namespace ZUBCAX
