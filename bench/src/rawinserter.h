// The raw database cost of writing rows: single-row inserts, each in its own
// transaction, into a private copy of a product table (same columns, indexes,
// constraints and triggers) in the same database file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sqlitedb.h"
#include "sqlitestatement.h"

namespace zub::bench {

class RawInserter {
public:
    // Copies the schema of `sourceTable` to `rawTable` (dropped first if there).
    RawInserter(ZUBDB::SqliteDb& db, std::string sourceTable, std::string rawTable,
                std::vector<std::string> columns);

    // Makes the copy hold every row the source table holds now, so inserts
    // meet an index of the same size. Not timed by callers.
    void MirrorRows();
    // `count` inserts, one transaction each; `bind(stmt, i)` binds row i
    // (parameters 1..columns). Returns seconds.
    double InsertEach(int count, const std::function<void(ZUBDB::SqliteStatement&, int)>& bind);

    // `text` with every whole-word, case-insensitive occurrence of `name`
    // (bare, "quoted" or [bracketed]) replaced by `replacement`.
    static std::string ReplaceName(const std::string& text, const std::string& name,
                                   const std::string& replacement);

private:
    ZUBDB::SqliteDb& db_;
    std::string source_;
    std::string raw_;
    std::vector<std::string> columns_;
};

}  // namespace zub::bench
