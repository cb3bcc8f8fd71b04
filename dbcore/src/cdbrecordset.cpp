#include "dbcore/cdbrecordset.h"

#include <cerrno>
#include <charconv>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <stdexcept>

#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBDB {
namespace {

// Two names are the same column when they fold to the same text.
std::wstring FoldedName(const std::wstring& name) {
    std::wstring folded(name.size(), L'\0');
    for (std::size_t i = 0; i < name.size(); ++i)
        folded[i] = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(name[i])));
    return folded;
}

bool OnlySpaceFrom(const wchar_t* p) {
    while (*p != L'\0' && std::iswspace(static_cast<wint_t>(*p))) ++p;
    return *p == L'\0';
}

// Whole-text numbers only: "12abc" is not a number, " 12 " is.
bool ParseInteger(const std::wstring& text, long long& out) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    errno = 0;
    long long v = std::wcstoll(text.c_str(), &end, 10);
    if (end == text.c_str() || errno == ERANGE || !OnlySpaceFrom(end)) return false;
    out = v;
    return true;
}

bool ParseReal(const std::wstring& text, double& out) {
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    double v = std::wcstod(text.c_str(), &end);
    if (end == text.c_str() || !OnlySpaceFrom(end)) return false;
    out = v;
    return true;
}

std::wstring RealToText(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return zub::Utf8ToWide(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
}

std::wstring AsString(const DBValue* cell, const std::wstring& def) {
    if (cell == nullptr) return def;
    if (const auto* s = std::get_if<std::wstring>(cell)) return *s;
    if (const auto* i = std::get_if<long long>(cell)) return std::to_wstring(*i);
    if (const auto* d = std::get_if<double>(cell)) return RealToText(*d);
    return def;
}

long long AsInt64(const DBValue* cell, long long def) {
    if (cell == nullptr) return def;
    if (const auto* i = std::get_if<long long>(cell)) return *i;
    if (const auto* d = std::get_if<double>(cell)) return static_cast<long long>(*d);
    if (const auto* s = std::get_if<std::wstring>(cell)) {
        long long v = 0;
        if (ParseInteger(*s, v)) return v;
        double r = 0;
        if (ParseReal(*s, r)) return static_cast<long long>(r);
    }
    return def;
}

double AsDouble(const DBValue* cell, double def) {
    if (cell == nullptr) return def;
    if (const auto* d = std::get_if<double>(cell)) return *d;
    if (const auto* i = std::get_if<long long>(cell)) return static_cast<double>(*i);
    if (const auto* s = std::get_if<std::wstring>(cell)) {
        double r = 0;
        if (ParseReal(*s, r)) return r;
    }
    return def;
}

}  // namespace

CDBRecordset::CDBRecordset(std::vector<std::wstring> columns) : columns_(std::move(columns)) {}

CDBRecordset::CDBRecordset(std::vector<std::wstring> columns,
                           std::shared_ptr<const CDBRowSource> source)
    : columns_(std::move(columns)),
      rows_(source ? source->RowCount() : 0),
      source_(std::move(source)) {}

void CDBRecordset::AddRow(std::vector<DBValue> row) {
    if (source_) throw std::logic_error("record set rows come from their source");
    if (row.size() != columns_.size())
        throw std::invalid_argument(zub::Format(
            ZUB_N_("record set row has %lu values for %lu columns"),
            static_cast<unsigned long>(row.size()), static_cast<unsigned long>(columns_.size())));
    if (cells_.size() != rows_ * columns_.size())
        throw std::logic_error("record set row added after a part of a row");
    cells_.insert(cells_.end(), std::make_move_iterator(row.begin()),
                  std::make_move_iterator(row.end()));
    ++rows_;
}

void CDBRecordset::AddCell(DBValue value) {
    if (source_) throw std::logic_error("record set rows come from their source");
    if (columns_.empty())
        throw std::invalid_argument(
            zub::Format(ZUB_N_("record set row has %lu values for %lu columns"), 1UL, 0UL));
    cells_.push_back(std::move(value));
    if (cells_.size() % columns_.size() == 0) ++rows_;
}

void CDBRecordset::Reserve(std::size_t rows) { cells_.reserve(rows * columns_.size()); }

bool CDBRecordset::IsEOF() const { return cursor_ >= rows_; }

void CDBRecordset::MoveNext() {
    if (cursor_ < rows_) ++cursor_;
}

void CDBRecordset::MoveFirst() { cursor_ = 0; }

long CDBRecordset::GetRecordCount() const { return static_cast<long>(rows_); }

int CDBRecordset::IndexOf(const std::wstring& column) const {
    if (!indexed_) {
        index_.reserve(columns_.size());
        // emplace keeps the first of repeated names.
        for (std::size_t i = 0; i < columns_.size(); ++i)
            index_.emplace(FoldedName(columns_[i]), static_cast<int>(i));
        indexed_ = true;
    }
    auto found = index_.find(FoldedName(column));
    return found == index_.end() ? -1 : found->second;
}

const DBValue* CDBRecordset::Cell(int index, DBValue& made) const {
    if (index < 0 || cursor_ >= rows_ || static_cast<std::size_t>(index) >= columns_.size())
        return nullptr;
    if (source_) {
        made = source_->Value(cursor_, static_cast<std::size_t>(index));
        return std::holds_alternative<std::monostate>(made) ? nullptr : &made;
    }
    const DBValue& v = cells_[cursor_ * columns_.size() + static_cast<std::size_t>(index)];
    if (std::holds_alternative<std::monostate>(v)) return nullptr;
    return &v;
}

std::wstring CDBRecordset::GetString(const std::wstring& column, const std::wstring& def) const {
    return GetStringAt(IndexOf(column), def);
}

long CDBRecordset::GetInt(const std::wstring& column, long def) const {
    return GetIntAt(IndexOf(column), def);
}

double CDBRecordset::GetDouble(const std::wstring& column, double def) const {
    return GetDoubleAt(IndexOf(column), def);
}

std::wstring CDBRecordset::GetStringAt(int index, const std::wstring& def) const {
    DBValue made;
    const DBValue* cell = Cell(index, made);
    // A text made from the source is the caller's already.
    if (cell == &made && std::holds_alternative<std::wstring>(made))
        return std::move(std::get<std::wstring>(made));
    return AsString(cell, def);
}

long CDBRecordset::GetIntAt(int index, long def) const {
    return static_cast<long>(GetInt64At(index, def));
}

long long CDBRecordset::GetInt64At(int index, long long def) const {
    DBValue made;
    return AsInt64(Cell(index, made), def);
}

double CDBRecordset::GetDoubleAt(int index, double def) const {
    DBValue made;
    return AsDouble(Cell(index, made), def);
}

std::wstring CDBRecordset::TakeStringAt(int index, const std::wstring& def) {
    DBValue made;
    const DBValue* cell = Cell(index, made);
    if (cell == nullptr || !std::holds_alternative<std::wstring>(*cell)) return AsString(cell, def);
    if (cell == &made) return std::move(std::get<std::wstring>(made));
    DBValue& v = cells_[cursor_ * columns_.size() + static_cast<std::size_t>(index)];
    std::wstring text = std::move(std::get<std::wstring>(v));
    v = std::monostate{};
    return text;
}

}  // namespace ZUBDB
