// Arbitrary description files: loading never crashes, and a statement it
// builds either fails or creates exactly the one mirror table asked for.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "table_description.h"
#include "zub/text.h"

namespace {

std::vector<std::string> Tables(sqlite3* db) {
    std::vector<std::string> names;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "select name from sqlite_master where type='table'", -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string xml(reinterpret_cast<const char*>(data), size);
    const auto description = ZUBCAX::TableDescription::Parse(xml);
    if (!description) return 0;
    for (const wchar_t* name : {L"bom", L"a", L"", L"x'y", L"q\"]"}) {
        const auto sql = description->CreateStatement(name);
        if (!sql) continue;
        sqlite3* db = nullptr;
        sqlite3_open(":memory:", &db);
        const std::string text = zub::WideToUtf8(*sql);
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, text.c_str(), -1, &stmt, &tail) == SQLITE_OK) {
            // One statement, nothing smuggled after it.
            if (tail != nullptr && *tail != '\0') std::abort();
            const int rc = sqlite3_step(stmt);
            sqlite3_finalize(stmt);
            const std::vector<std::string> tables = Tables(db);
            const std::string wanted = zub::WideToUtf8(std::wstring(L"CAXS_2_") + name);
            const bool onlyWanted = tables.size() == 1 && tables[0] == wanted;
            if (rc == SQLITE_DONE && !onlyWanted) std::abort();
            if (rc != SQLITE_DONE && !tables.empty()) std::abort();
        }
        sqlite3_close(db);
    }
    return 0;
}
