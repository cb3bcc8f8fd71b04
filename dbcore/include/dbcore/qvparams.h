// Ordered column/value list: values of an insert or update, or conditions
// (all joined with AND). The position is the caller's; the list keeps the
// order in which pairs were added.
#pragma once

#include <string>
#include <vector>

namespace ZUBDB {

struct QVParam {
    long position = 0;
    std::wstring column;
    bool isText = false;
    long long intValue = 0;
    std::wstring textValue;
    bool raw = false;  // textValue is an SQL expression such as "getdate()"
    std::wstring op;   // always "="
};

class QVParams {
public:
    explicit QVParams(bool flag = false) : flag_(flag) {}

    void AddParam(long position, const std::wstring& column, long long value, bool flag,
                  const std::wstring& op);
    void AddParam(long position, const std::wstring& column, const std::wstring& value, bool raw,
                  bool flag, const std::wstring& op);
    // Keeps the text overload for literals.
    void AddParam(long position, const std::wstring& column, const wchar_t* value, bool raw,
                  bool flag, const std::wstring& op) {
        AddParam(position, column, std::wstring(value), raw, flag, op);
    }
    void Clear() { items_.clear(); }

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const QVParam& operator[](std::size_t i) const { return items_[i]; }
    std::vector<QVParam>::const_iterator begin() const { return items_.begin(); }
    std::vector<QVParam>::const_iterator end() const { return items_.end(); }

private:
    bool flag_;
    std::vector<QVParam> items_;
};

}  // namespace ZUBDB
