#include "sqlitedb.h"

#include <sqlite3.h>

#include "dbcore/oledate.h"
#include "dbcore/sqliteerror.h"

namespace ZUBDB {
namespace {

void GetDate(sqlite3_context* ctx, int /*argc*/, sqlite3_value** /*argv*/) {
    sqlite3_result_double(ctx, OleDateNow());
}

}  // namespace

void SqliteDb::Closer::operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }

SqliteDb SqliteDb::Open(const std::string& path, bool create) {
    SqliteDb result;
    result.path_ = path;
    sqlite3* raw = nullptr;
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    result.db_.reset(raw);
    if (rc != SQLITE_OK) {
        int code = raw != nullptr ? sqlite3_extended_errcode(raw) : rc;
        std::string message = raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        throw SqliteError(code, message + ": " + path);
    }
    sqlite3_extended_result_codes(raw, 1);
    result.check(sqlite3_busy_timeout(raw, kBusyTimeoutMs));
    result.check(sqlite3_create_function_v2(raw, "getdate", 0, SQLITE_UTF8, nullptr, &GetDate,
                                            nullptr, nullptr, nullptr),
                 "register getdate()");
    // Several processes share one store: WAL lets readers go on while one writes.
    result.exec("PRAGMA journal_mode=WAL");
    // The write-ahead log and its index stay when the last connection closes,
    // so that a later one can read on a full disk: making them anew needs space.
    // A database being made is renamed into place afterwards: nothing of it stays.
    int persist = create ? 0 : 1;
    sqlite3_file_control(raw, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    // 64 MiB of pages: big listings stay in memory instead of being re-read.
    result.exec("PRAGMA cache_size=-65536");
    result.exec("PRAGMA foreign_keys=ON");
    return result;
}

void SqliteDb::check(int rc, std::string_view statement) const {
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return;
    sqlite3* db = db_.get();
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    int code = db != nullptr ? sqlite3_extended_errcode(db) : rc;
    // The connection's last error may belong to an earlier call when the
    // failure was detected by the API itself (misuse, range).
    if ((code & 0xff) != (rc & 0xff)) {
        code = rc;
        message = sqlite3_errstr(rc);
    }
    throw SqliteError(code, message, std::string(statement));
}

void SqliteDb::exec(const std::string& script) const {
    char* err = nullptr;
    int rc = sqlite3_exec(db_.get(), script.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string message = err != nullptr ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw SqliteError(sqlite3_extended_errcode(db_.get()), message, script);
    }
}

bool SqliteDb::inTransaction() const { return sqlite3_get_autocommit(db_.get()) == 0; }

long long SqliteDb::lastInsertRowid() const { return sqlite3_last_insert_rowid(db_.get()); }

void SqliteDb::rollbackQuietly() const noexcept {
    if (db_ && inTransaction()) sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace ZUBDB
