// The one place where an SQLite result code becomes an exception, shared by
// connections and statements (which reach their connection through SQLite).
#pragma once

#include <string_view>

struct sqlite3;

namespace zub::sqlite::detail {

// Throws Error unless rc is SQLITE_OK, SQLITE_ROW or SQLITE_DONE; the text is
// the connection's message for that failure.
void Check(sqlite3* db, int rc, std::string_view statement);

}  // namespace zub::sqlite::detail
