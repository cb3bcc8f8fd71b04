// The rows a query returned, held in memory, with a cursor. Values are read by
// column name (case-insensitive) or by position; a missing column, a NULL value
// or a position past the last row gives the caller's default.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace ZUBDB {

using DBValue = std::variant<std::monostate, long long, double, std::wstring>;

// Rows a backend keeps in its own form; a value is made when it is read.
class CDBRowSource {
public:
    virtual ~CDBRowSource() = default;
    virtual std::size_t RowCount() const = 0;
    // row and column in range; NULL as std::monostate.
    virtual DBValue Value(std::size_t row, std::size_t column) const = 0;
};

class CDBRecordset {
public:
    CDBRecordset() = default;
    explicit CDBRecordset(std::vector<std::wstring> columns);
    // The rows of `source`, read in place (copies of the set share it); no
    // row can be added.
    CDBRecordset(std::vector<std::wstring> columns, std::shared_ptr<const CDBRowSource> source);

    // Building (backends and fakes).
    void AddRow(std::vector<DBValue> row);
    // The same one cell at a time: a row is complete with its last column's.
    void AddCell(DBValue value);
    // Room for `rows` rows, for a backend that knows how many come.
    void Reserve(std::size_t rows);
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
    // GetStringAt that moves a text out of the set instead of copying it: the
    // cell reads as NULL afterwards. For a reader that takes each value once.
    std::wstring TakeStringAt(int index, const std::wstring& def = L"");

private:
    int IndexOf(const std::wstring& column) const;
    // The cell at `index` of the current row, null for NULL or out of range;
    // a value read from the source is made in `made`.
    const DBValue* Cell(int index, DBValue& made) const;

    std::vector<std::wstring> columns_;
    // Row after row, columns_.size() cells each: one block for the whole set.
    std::vector<DBValue> cells_;
    std::size_t rows_ = 0;
    std::shared_ptr<const CDBRowSource> source_;
    std::size_t cursor_ = 0;
    // Folded column name -> first column with it, built at the first lookup
    // by name (readers ask by name for every value of every row). The columns
    // are fixed at construction, so it never goes stale.
    mutable std::unordered_map<std::wstring, int> index_;
    mutable bool indexed_ = false;
};

}  // namespace ZUBDB
