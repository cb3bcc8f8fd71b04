// The installer's user-visible texts, looked up by id.
#pragma once

#include <cstddef>
#include <string>

#include "zub/text.h"

namespace zub::kitsetup {

// The text of id, "" for an unknown id.
const wchar_t* LoadStr(int id);

// The product's format texts use "%s" for wide strings as Windows does;
// this turns each into "%ls" for the C library.
std::wstring WideFormat(const wchar_t* format);

inline constexpr std::size_t kFormatBuffer = 4096;

inline const wchar_t* FmtArg(const std::wstring& s) { return s.c_str(); }
inline const wchar_t* FmtArg(const wchar_t* s) { return s; }
inline int FmtArg(int v) { return v; }
inline long FmtArg(long v) { return v; }

// printf-style formatting of a product text into at most 4096 characters.
template <typename... A>
std::wstring Fmt(const wchar_t* format, const A&... args) {
    const std::wstring f = WideFormat(format);
    return zub::FormatBounded(kFormatBuffer, f.c_str(), FmtArg(args)...);
}

template <typename... A>
std::wstring FmtId(int id, const A&... args) {
    return Fmt(LoadStr(id), args...);
}

}  // namespace zub::kitsetup
