#include "rawinserter.h"

#include <cctype>
#include <chrono>
#include <stdexcept>
#include <utility>

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

RawInserter::RawInserter(SqliteDb& db, std::string sourceTable, std::string rawTable,
                         std::vector<std::string> columns)
    : db_(db),
      source_(std::move(sourceTable)),
      raw_(std::move(rawTable)),
      columns_(std::move(columns)) {
    db_.Exec("DROP TABLE IF EXISTS " + raw_);
    std::vector<std::pair<std::string, std::string>> objects;  // (type, sql)
    {
        SqliteStmt q = db_.Prepare(
            "SELECT type, name, sql FROM sqlite_master WHERE tbl_name = ?1 COLLATE NOCASE "
            "AND sql IS NOT NULL ORDER BY CASE type WHEN 'table' THEN 0 ELSE 1 END");
        q.Bind(1, source_);
        while (q.Step()) {
            std::string sql = ReplaceName(q.Text(2), source_, raw_);
            if (q.Text(0) != "table") sql = ReplaceName(sql, q.Text(1), raw_ + "_" + q.Text(1));
            objects.emplace_back(q.Text(0), sql);
        }
    }
    if (objects.empty() || objects.front().first != "table")
        throw std::runtime_error("no table " + source_ + " to copy");
    for (const auto& [type, sql] : objects) db_.Exec(sql);
}

void RawInserter::MirrorRows() {
    db_.Exec("BEGIN");
    db_.Exec("DELETE FROM " + raw_);
    db_.Exec("INSERT INTO " + raw_ + " SELECT * FROM " + source_);
    db_.Exec("COMMIT");
}

double RawInserter::InsertEach(int count, const std::function<void(SqliteStmt&, int)>& bind) {
    std::string sql = "INSERT INTO " + raw_ + " (";
    std::string marks;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        sql += (i ? "," : "") + columns_[i];
        marks += (i ? ",?" : "?");
    }
    sql += ") VALUES (" + marks + ")";
    SqliteStmt begin = db_.Prepare("BEGIN");
    SqliteStmt commit = db_.Prepare("COMMIT");
    SqliteStmt insert = db_.Prepare(sql);

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        begin.Run();
        try {
            bind(insert, i);
            insert.Run();
            commit.Run();
        } catch (...) {
            insert.Reset();
            sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
