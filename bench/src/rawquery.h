// The raw database cost of the two listings: the same query through the
// SQLite C API, every value copied out into a plain struct.
#pragma once

#include <string>
#include <vector>

#include "rawdocrow.h"
#include "sqlitedb.h"
#include "sqlitestatement.h"

namespace zub::bench {

struct RawHistoryRow {
    long long id = 0, docId = 0, baseLineId = 0;
    std::string docName;
    long long operatorId = 0;
    std::string operatorName;
    double time = 0;
    std::string info;
    long long action = 0;
    std::string phyUrl;
    long long main = 0, sub = 0, revision = 0;
};

class RawQuery {
public:
    explicit RawQuery(ZUBDB::SqliteDb& db) : db_(db) {}

    std::vector<RawDocRow> Documents(int repoId);
    std::vector<RawHistoryRow> History(int docId);

private:
    ZUBDB::SqliteDb& db_;
};

}  // namespace zub::bench
