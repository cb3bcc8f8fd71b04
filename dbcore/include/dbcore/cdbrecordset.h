// The rows a query returned, held in memory, with a cursor. Values are read by
// column name (case-insensitive) or by position; a missing column, a NULL value
// or a position past the last row gives the caller's default.
#pragma once

#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace ZUBDB {

using DBValue = std::variant<std::monostate, long long, double, std::wstring>;

class CDBRecordset {
public:
    CDBRecordset() = default;
    explicit CDBRecordset(std::vector<std::wstring> columns);

    // Building (backends and fakes).
    void AddRow(std::vector<DBValue> row);
    const std::vector<std::wstring>& Columns() const { return columns_; }

    bool IsEOF() const;
    void MoveNext();
    void MoveFirst();
    long GetRecordCount() const;

    std::wstring GetString(const std::wstring& column, const std::wstring& def = L"") const;
    long GetInt(const std::wstring& column, long def = 0) const;
    double GetDouble(const std::wstring& column, double def = 0.0) const;
    std::wstring GetStringAt(int index, const std::wstring& def = L"") const;
    long GetIntAt(int index, long def = 0) const;
    long long GetInt64At(int index, long long def = 0) const;
    double GetDoubleAt(int index, double def = 0.0) const;

private:
    int IndexOf(const std::wstring& column) const;
    const DBValue* Cell(int index) const;

    std::vector<std::wstring> columns_;
    std::vector<std::vector<DBValue>> rows_;
    std::size_t cursor_ = 0;
    // Folded column name -> first column with it, built at the first lookup
    // by name (readers ask by name for every value of every row). The columns
    // are fixed at construction, so it never goes stale.
    mutable std::unordered_map<std::wstring, int> index_;
    mutable bool indexed_ = false;
};

}  // namespace ZUBDB
