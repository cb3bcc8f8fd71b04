#include "pgdialect.h"

#include <cctype>

namespace ZUBDB {
namespace {

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The next word at or after `i` (skipping blanks), lower-cased; `end` is
// where it stops.
std::string WordAt(const std::string& sql, std::size_t i, std::size_t& end) {
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])) != 0) ++i;
    std::size_t j = i;
    while (j < sql.size() && IsWordChar(sql[j])) ++j;
    end = j;
    return Lower(sql.substr(i, j - i));
}

// Copies a quoted run starting at sql[i] (a doubled quote stays inside).
std::size_t CopyQuoted(const std::string& sql, std::size_t i, std::string& out) {
    const char q = sql[i];
    out += q;
    ++i;
    while (i < sql.size()) {
        out += sql[i];
        if (sql[i] == q) {
            if (i + 1 < sql.size() && sql[i + 1] == q) {
                out += q;
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return i;
}

}  // namespace

const char* const PgDialect::kNow =
    "(extract(epoch from clock_timestamp()::timestamp)::float8 / 86400.0 + 25569.0)";

const char* const PgDialect::kSupportSql = R"sql(
DO $zub$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_collation WHERE collname = 'nocase') THEN
    CREATE COLLATION nocase (provider = icu, locale = 'und-u-ks-level2', deterministic = false);
  END IF;
END $zub$;
CREATE OR REPLACE FUNCTION instr(text, text) RETURNS integer
  LANGUAGE sql IMMUTABLE AS 'SELECT strpos($1, $2)';
CREATE OR REPLACE FUNCTION zub_concat_step(text, text, text) RETURNS text
  LANGUAGE sql IMMUTABLE AS
  'SELECT CASE WHEN $2 IS NULL THEN $1 WHEN $1 IS NULL THEN $2 ELSE $1 || $3 || $2 END';
CREATE OR REPLACE FUNCTION zub_concat_step(text, text) RETURNS text
  LANGUAGE sql IMMUTABLE AS
  'SELECT CASE WHEN $2 IS NULL THEN $1 WHEN $1 IS NULL THEN $2 ELSE $1 || '','' || $2 END';
CREATE OR REPLACE AGGREGATE group_concat(text, text) (SFUNC = zub_concat_step, STYPE = text);
CREATE OR REPLACE AGGREGATE group_concat(text) (SFUNC = zub_concat_step, STYPE = text);
)sql";

std::string PgDialect::Translate(const std::string& sql) {
    return Translate(sql, [](int index) { return "$" + std::to_string(index + 1); });
}

std::string PgDialect::Translate(const std::string& sql, const Placeholder& placeholder) {
    std::string out;
    out.reserve(sql.size() + 16);
    bool ignoreConflicts = false;
    int next = 0;
    std::size_t i = 0;
    // "insert or ignore into": the conflict clause goes at the end.
    {
        std::size_t e1 = 0;
        std::size_t e2 = 0;
        std::size_t e3 = 0;
        if (WordAt(sql, 0, e1) == "insert" && WordAt(sql, e1, e2) == "or" &&
            WordAt(sql, e2, e3) == "ignore") {
            out += "INSERT";
            i = e3;
            ignoreConflicts = true;
        }
    }
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            i = CopyQuoted(sql, i, out);
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            std::size_t end = sql.find('\n', i);
            if (end == std::string::npos) end = sql.size();
            out.append(sql, i, end - i);
            i = end;
        } else if (c == '?') {
            std::size_t j = i + 1;
            while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])) != 0) ++j;
            int index = next++;
            if (j > i + 1) index = std::stoi(sql.substr(i + 1, j - i - 1)) - 1;
            out += placeholder(index);
            i = j;
        } else if (c == '[') {
            std::size_t end = sql.find(']', i);
            if (end == std::string::npos) {
                out.append(sql, i, std::string::npos);
                break;
            }
            out += '"' + Lower(sql.substr(i + 1, end - i - 1)) + '"';
            i = end + 1;
        } else if (IsWordChar(c) && (i == 0 || !IsWordChar(sql[i - 1]))) {
            std::size_t end = i;
            while (end < sql.size() && IsWordChar(sql[end])) ++end;
            const std::string word = Lower(sql.substr(i, end - i));
            std::size_t k = end;
            while (k < sql.size() && std::isspace(static_cast<unsigned char>(sql[k])) != 0) ++k;
            if (word == "getdate" && k + 1 < sql.size() && sql[k] == '(') {
                std::size_t m = k + 1;
                while (m < sql.size() && std::isspace(static_cast<unsigned char>(sql[m])) != 0) ++m;
                if (m < sql.size() && sql[m] == ')') {
                    out += kNow;
                    i = m + 1;
                    continue;
                }
            }
            if (word == "ifnull" && k < sql.size() && sql[k] == '(') {
                out += "coalesce";
            } else {
                out.append(sql, i, end - i);
            }
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    if (ignoreConflicts) {
        while (!out.empty() &&
               (std::isspace(static_cast<unsigned char>(out.back())) != 0 || out.back() == ';'))
            out.pop_back();
        out += " ON CONFLICT DO NOTHING";
    }
    return out;
}

bool PgDialect::IsQuery(const std::string& sql) {
    std::size_t end = 0;
    const std::string first = WordAt(sql, 0, end);
    if (first == "select" || first == "values" || first == "table" || first == "show") return true;
    if (first != "with") return false;
    // A WITH that writes names the write as a word of its own.
    std::string lower = Lower(sql);
    for (const char* verb : {"insert", "update", "delete", "merge"}) {
        std::size_t at = 0;
        while ((at = lower.find(verb, at)) != std::string::npos) {
            const std::size_t after = at + std::char_traits<char>::length(verb);
            if ((at == 0 || !IsWordChar(lower[at - 1])) &&
                (after >= lower.size() || !IsWordChar(lower[after])))
                return false;
            at = after;
        }
    }
    return true;
}

}  // namespace ZUBDB
