// Text conversions. Wide strings are the product's text; UTF-16 only where a
// contract is UTF-16; "narrow" is the locale's encoding (UTF-8 here).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace zub {

std::string WideToUtf8(std::wstring_view w);
std::wstring Utf8ToWide(std::string_view s);
std::u16string WideToUtf16(std::wstring_view w);
std::wstring Utf16ToWide(std::u16string_view s);
// Through the calling thread's C locale's multibyte encoding; bytes it cannot
// decode become U+FFFD rather than being dropped, characters it cannot encode
// become U+FFFD's encoding or '?'. The plain C/POSIX locale (ASCII) counts as
// UTF-8, the system's encoding, so a program that never called setlocale
// keeps its non-ASCII text.
std::string WideToNarrow(std::wstring_view w);
std::wstring NarrowToWide(std::string_view s);

// printf-style wide formatting (vswprintf) into a buffer of `bufferSize`
// characters (terminator included): a longer result is cut to its first
// bufferSize-1 characters, never overflows. A narrow %s argument the locale
// cannot decode ends the text where it stands.
std::wstring FormatBounded(std::size_t bufferSize, const wchar_t* format, ...);

// printf-style formatting of a whole text, however long: a reported text
// built from one template, so that its template can be found again in it.
std::wstring Format(const wchar_t* format, ...);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, std::va_list args);

}  // namespace zub
