// A list of column values or conditions built in one expression, each pair at
// the next position: RowValues().Int(L"DocId", id).Text(L"PendingFile", L"").
#pragma once

#include <string>

#include "dbcore/qvparams.h"
#include "internal/rowparams.h"

namespace DRM {

class RowValues {
public:
    RowValues& Int(const wchar_t* column, long long value) {
        AddInt(list_, column, value);
        return *this;
    }
    RowValues& Text(const wchar_t* column, const std::wstring& value) {
        AddText(list_, column, value);
        return *this;
    }
    // An SQL expression such as "getdate()".
    RowValues& Expr(const wchar_t* column, const wchar_t* expression) {
        AddExpr(list_, column, expression);
        return *this;
    }
    operator const ZUBDB::QVParams&() const { return list_; }

private:
    ZUBDB::QVParams list_{false};
};

}  // namespace DRM
