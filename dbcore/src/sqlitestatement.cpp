#include "sqlitestatement.h"

#include <sqlite3.h>

#include "dbcore/sqliteerror.h"
#include "sqlitedb.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBDB {

SqliteStatement::SqliteStatement(const SqliteDb& db, std::string sql) : sql_(std::move(sql)) {
    std::string_view tail;
    stmt_ = zub::sqlite::Statement(db.connection(), sql_, &tail);
    if (!stmt_) throw SqliteError(SQLITE_MISUSE, ZUB_N_("empty statement"), sql_);
    // Anything after the first statement other than blanks, semicolons and
    // comments is refused: one call runs one statement.
    while (!tail.empty()) {
        std::string_view next;
        bool another = true;
        try {
            another = static_cast<bool>(zub::sqlite::Statement(db.connection(), tail, &next));
        } catch (const SqliteError&) {}
        if (another)
            throw SqliteError(SQLITE_MISUSE, ZUB_N_("only one statement may be run per call"),
                              sql_);
        if (next.size() == tail.size()) break;
        tail = next;
    }
}

void SqliteStatement::bindAll(const std::vector<DBValue>& values) {
    int expected = parameterCount();
    if (static_cast<int>(values.size()) != expected)
        throw SqliteError(
            SQLITE_RANGE,
            zub::Format(ZUB_N_("statement has %d parameters but %lu values were given"), expected,
                        static_cast<unsigned long>(values.size())),
            sql_);
    for (std::size_t i = 0; i < values.size(); ++i) bindValue(static_cast<int>(i) + 1, values[i]);
}

void SqliteStatement::bindValue(int index, const DBValue& value) {
    if (const auto* i = std::get_if<long long>(&value)) {
        stmt_.bind(index, *i);
    } else if (const auto* d = std::get_if<double>(&value)) {
        stmt_.bind(index, *d);
    } else if (const auto* t = std::get_if<std::wstring>(&value)) {
        stmt_.bind(index, zub::WideToUtf8(*t));
    } else {
        stmt_.bindNull(index);
    }
}

DBValue SqliteStatement::column(int index) const {
    switch (stmt_.columnType(index)) {
        case SQLITE_INTEGER:
            return stmt_.columnInt64(index);
        case SQLITE_FLOAT:
            return stmt_.columnDouble(index);
        case SQLITE_NULL:
            return std::monostate{};
        default: {
            // Text, and blobs read as UTF-8 text.
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), index));
            int size = sqlite3_column_bytes(stmt_.get(), index);
            if (bytes == nullptr) return std::wstring();
            return zub::Utf8ToWide(std::string_view(bytes, static_cast<std::size_t>(size)));
        }
    }
}

CDBRecordset SqliteStatement::fetchAll() {
    const int count = stmt_.columnCount();
    std::vector<std::wstring> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) names.push_back(zub::Utf8ToWide(stmt_.columnName(i)));
    CDBRecordset result(std::move(names));
    try {
        while (stmt_.step()) {
            if (count == 0) {
                result.AddRow({});
                continue;
            }
            for (int i = 0; i < count; ++i) result.AddCell(column(i));
        }
    } catch (...) {
        sqlite3_reset(stmt_.get());
        throw;
    }
    sqlite3_reset(stmt_.get());
    return result;
}

DBValue SqliteStatement::scalar() {
    sqlite3_stmt* s = stmt_.get();
    int rc = sqlite3_step(s);
    DBValue value;
    if (rc == SQLITE_ROW && sqlite3_column_count(s) > 0) value = column(0);
    sqlite3_reset(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) stmt_.check(rc);
    return value;
}

}  // namespace ZUBDB
