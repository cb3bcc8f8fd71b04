// Helpers the operations share for building parameter lists and reading
// record sets.
#pragma once

#include <memory>
#include <string>

#include "dbcore/cdbrecordset.h"
#include "dbcore/qvparams.h"

namespace DRM {

inline const std::wstring kEq = L"=";
// An empty column list, order, group or having clause.
inline const std::wstring kNone;

inline bool HasRow(const std::unique_ptr<ZUBDB::CDBRecordset>& rs) { return rs && !rs->IsEOF(); }

// Each value or condition goes to the next position of its list.
inline void AddInt(ZUBDB::QVParams& list, const wchar_t* column, long long value) {
    list.AddParam(static_cast<long>(list.size()), column, value, false, kEq);
}
inline void AddText(ZUBDB::QVParams& list, const wchar_t* column, const std::wstring& value) {
    list.AddParam(static_cast<long>(list.size()), column, value, false, false, kEq);
}
inline void AddExpr(ZUBDB::QVParams& list, const wchar_t* column, const wchar_t* expression) {
    list.AddParam(static_cast<long>(list.size()), column, expression, true, false, kEq);
}

}  // namespace DRM
