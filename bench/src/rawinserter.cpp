#include "rawinserter.h"

#include <cctype>
#include <chrono>
#include <stdexcept>
#include <utility>

namespace zub::bench {

namespace {

bool WordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

bool EqualNoCase(const std::string& a, std::size_t pos, const std::string& b) {
    if (pos + b.size() > a.size()) return false;
    for (std::size_t i = 0; i < b.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[pos + i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::string RawInserter::ReplaceName(const std::string& text, const std::string& name,
                                     const std::string& replacement) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool boundaryBefore = i == 0 || !WordChar(text[i - 1]);
        if (boundaryBefore && EqualNoCase(text, i, name) &&
            (i + name.size() == text.size() || !WordChar(text[i + name.size()]))) {
            out += replacement;
            i += name.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

RawInserter::RawInserter(ZUBDB::SqliteDb& db, std::string sourceTable, std::string rawTable,
                         std::vector<std::string> columns)
    : db_(db),
      source_(std::move(sourceTable)),
      raw_(std::move(rawTable)),
      columns_(std::move(columns)) {
    db_.exec("DROP TABLE IF EXISTS " + raw_);
    std::vector<std::pair<std::string, std::string>> objects;  // (type, sql)
    {
        ZUBDB::SqliteStatement q(
            db_,
            "SELECT type, name, sql FROM sqlite_master WHERE tbl_name = ?1 COLLATE NOCASE "
            "AND sql IS NOT NULL ORDER BY CASE type WHEN 'table' THEN 0 ELSE 1 END");
        q.bind(1, source_);
        while (q.step()) {
            const std::string type(q.columnText(0));
            const std::string name(q.columnText(1));
            std::string sql = ReplaceName(std::string(q.columnText(2)), source_, raw_);
            if (type != "table") sql = ReplaceName(sql, name, raw_ + "_" + name);
            objects.emplace_back(type, sql);
        }
    }
    if (objects.empty() || objects.front().first != "table")
        throw std::runtime_error("no table " + source_ + " to copy");
    for (const auto& [type, sql] : objects) db_.exec(sql);
}

void RawInserter::MirrorRows() {
    db_.exec("BEGIN");
    db_.exec("DELETE FROM " + raw_);
    db_.exec("INSERT INTO " + raw_ + " SELECT * FROM " + source_);
    db_.exec("COMMIT");
}

double RawInserter::InsertEach(int count,
                               const std::function<void(ZUBDB::SqliteStatement&, int)>& bind) {
    std::string sql = "INSERT INTO " + raw_ + " (";
    std::string marks;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        sql += (i ? "," : "") + columns_[i];
        marks += (i ? ",?" : "?");
    }
    sql += ") VALUES (" + marks + ")";
    ZUBDB::SqliteStatement begin(db_, "BEGIN");
    ZUBDB::SqliteStatement commit(db_, "COMMIT");
    ZUBDB::SqliteStatement insert(db_, sql);

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        begin.run();
        try {
            bind(insert, i);
            insert.run();
            commit.run();
        } catch (...) {
            insert.reset();
            db_.rollbackQuietly();
            throw;
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace zub::bench
