#include "sqlbuilder.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cwctype>

#include "dbcore/sqliteerror.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBDB {
namespace {

std::wstring Trim(const std::wstring& s) {
    auto isSpace = [](wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; };
    auto first = std::find_if_not(s.begin(), s.end(), isSpace);
    auto last = std::find_if_not(s.rbegin(), s.rend(), isSpace).base();
    return first < last ? std::wstring(first, last) : std::wstring();
}

std::string Column(const QVParam& p) {
    std::wstring name = Trim(p.column);
    if (name.empty()) throw SqliteError(SQLITE_MISUSE, ZUB_N_("a parameter has no column name"));
    return zub::WideToUtf8(name);
}

}  // namespace

std::string SqlBuilder::Table(const std::wstring& table) {
    std::wstring name = Trim(table);
    if (name.empty()) throw SqliteError(SQLITE_MISUSE, ZUB_N_("no table name given"));
    return zub::WideToUtf8(name);
}

std::string SqlBuilder::Value(const QVParam& p, std::vector<DBValue>& binds) {
    if (p.isText && p.raw) {
        std::wstring expr = Trim(p.textValue);
        if (expr.empty())
            throw SqliteError(SQLITE_MISUSE, zub::Format(ZUB_N_("empty SQL expression for %s"),
                                                         Column(p).c_str()));
        return zub::WideToUtf8(expr);
    }
    if (p.isText)
        binds.emplace_back(p.textValue);
    else
        binds.emplace_back(p.intValue);
    return "?";
}

// The operator is pasted into the statement, so only comparison operators pass.
std::string SqlBuilder::Operator(const std::wstring& op) {
    std::wstring t = Trim(op);
    std::transform(t.begin(), t.end(), t.begin(), [](wchar_t c) {
        return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    });
    if (t.empty()) return "=";
    static const std::array<const wchar_t*, 8> allowed = {L"=", L"<>", L"!=", L"<",
                                                          L">", L"<=", L">=", L"like"};
    for (const wchar_t* a : allowed) {
        if (t == a) return t == L"like" ? "LIKE" : zub::WideToUtf8(t);
    }
    throw SqliteError(SQLITE_MISUSE, zub::Format(ZUB_N_("unsupported comparison operator \"%s\""),
                                                 zub::WideToUtf8(op).c_str()));
}

std::string SqlBuilder::Where(const QVParams& conditions, std::vector<DBValue>& binds) {
    std::string sql;
    for (const QVParam& p : conditions) {
        sql += sql.empty() ? " WHERE " : " AND ";
        sql += Column(p) + " " + Operator(p.op) + " " + Value(p, binds);
    }
    return sql;
}

SqlText SqlBuilder::Insert(const std::wstring& table, const QVParams& values) {
    SqlText t;
    t.sql = "INSERT INTO " + Table(table);
    if (values.empty()) {
        t.sql += " DEFAULT VALUES";
        return t;
    }
    std::string columns;
    std::string placeholders;
    for (const QVParam& p : values) {
        if (!columns.empty()) {
            columns += ", ";
            placeholders += ", ";
        }
        columns += Column(p);
        placeholders += Value(p, t.binds);
    }
    t.sql += " (" + columns + ") VALUES (" + placeholders + ")";
    return t;
}

SqlText SqlBuilder::Update(const std::wstring& table, const QVParams& values,
                           const QVParams& conditions) {
    if (values.empty())
        throw SqliteError(SQLITE_MISUSE,
                          zub::Format(ZUB_N_("update of %s sets no column"), Table(table).c_str()));
    SqlText t;
    t.sql = "UPDATE " + Table(table) + " SET ";
    bool first = true;
    for (const QVParam& p : values) {
        if (!first) t.sql += ", ";
        first = false;
        t.sql += Column(p) + " = " + Value(p, t.binds);
    }
    t.sql += Where(conditions, t.binds);
    return t;
}

SqlText SqlBuilder::Delete(const std::wstring& table, const QVParams& conditions) {
    SqlText t;
    t.sql = "DELETE FROM " + Table(table);
    t.sql += Where(conditions, t.binds);
    return t;
}

SqlText SqlBuilder::Select(const std::wstring& table, const std::wstring& columns,
                           const QVParams& conditions, const std::wstring& order) {
    SqlText t;
    std::wstring cols = Trim(columns);
    t.sql = "SELECT " + (cols.empty() ? std::string("*") : zub::WideToUtf8(cols)) + " FROM " +
            Table(table);
    t.sql += Where(conditions, t.binds);
    std::wstring ord = Trim(order);
    if (!ord.empty()) t.sql += " ORDER BY " + zub::WideToUtf8(ord);
    return t;
}

}  // namespace ZUBDB
