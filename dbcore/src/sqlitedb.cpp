#include "sqlitedb.h"

#include <sqlite3.h>

#include "dbcore/sqliteerror.h"
#include "zub/oledate.h"

namespace ZUBDB {
namespace {

void GetDate(sqlite3_context* ctx, int /*argc*/, sqlite3_value** /*argv*/) {
    sqlite3_result_double(ctx, zub::OleDateNow());
}

}  // namespace

SqliteDb SqliteDb::Open(const std::string& path, bool create) {
    SqliteDb result;
    result.path_ = path;
    try {
        result.db_ = zub::sqlite::Connection(
            path, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0));
    } catch (const SqliteError& e) {
        throw SqliteError(e.code(), e.message() + ": " + path);
    }
    sqlite3* raw = result.get();
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

}  // namespace ZUBDB
