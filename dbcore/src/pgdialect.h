// The SQL Server dialect the library speaks, and the SQLite functions its
// statements use, in PostgreSQL's words. Only the text outside quotes is
// changed:
//   ?, ?N             -> $k (or what `placeholder` gives for that value)
//   [Name]            -> "name" (tables are made with unquoted, so folded, names)
//   getdate()         -> the local time as an OLE automation date
//   ifnull(           -> coalesce(
//   insert or ignore  -> insert ... on conflict do nothing
// collate nocase, instr() and group_concat() are served by objects every
// database of a store gets (PgDialect::kSupportSql).
#pragma once

#include <functional>
#include <string>

namespace ZUBDB {

class PgDialect {
public:
    // `placeholder` receives the 0-based index of the value (the running
    // count for "?", N-1 for "?N") and returns the text to put there.
    using Placeholder = std::function<std::string(int index)>;

    static std::string Translate(const std::string& sql, const Placeholder& placeholder);
    // With every value bound as $1, $2, ... in order.
    static std::string Translate(const std::string& sql);

    // Whether the statement only reads (SELECT, VALUES, a WITH that writes nothing).
    static bool IsQuery(const std::string& sql);

    // The expression getdate() becomes.
    static const char* const kNow;
    // Functions and the collation the translated statements rely on.
    static const char* const kSupportSql;
};

}  // namespace ZUBDB
