// The installer's user-visible texts: the string table looked up by id, and
// formatting of texts in the user's language. The table's Chinese texts are
// the message ids of the catalog "kitsetup"; a lookup returns the current
// language's translation.
#pragma once

#include <cstddef>
#include <string>

#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::kitsetup {

// The text of id in the current language, "" for an unknown id. The pointer
// stays valid for the life of the program.
const wchar_t* LoadStr(int id);

// The current language's translation of msgid (marked with ZUB_N_) followed
// by tail, as a wide text that stays valid for the life of the program.
const wchar_t* Translated(const char* msgid, const wchar_t* tail = L"");

// The product's format texts use "%s" for wide strings as Windows does;
// this turns each (also "%1$s", "%-5s") into "%ls" for the C library.
std::wstring WideFormat(const wchar_t* format);

// A text already in the user's language (what zub::tr returns), as a wide string.
inline std::wstring Wide(const char* utf8) { return zub::Utf8ToWide(utf8 ? utf8 : ""); }

// A fixed text that is kept as it is where it is stored (an error text
// callers compare) and translated only where a user reads it; the text is
// marked with ZUB_N_ where it is made. Texts outside the catalog stay as they are.
std::wstring Shown(const std::wstring& text);

// The system's text for an error number (what the platform reports, in
// English) in the user's language.
std::wstring SystemErrorText(unsigned error);

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

// The same for a text in the user's language: Fmt(tr("已拷贝 %s"), path).
// Arguments stay wide; "%s" takes a wide string.
template <typename... A>
std::wstring Fmt(const char* translated, const A&... args) {
    return Fmt(Wide(translated).c_str(), args...);
}

template <typename... A>
std::wstring FmtId(int id, const A&... args) {
    return Fmt(LoadStr(id), args...);
}

}  // namespace zub::kitsetup
