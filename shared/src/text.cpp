#include "zub/text.h"

#include <langinfo.h>

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <vector>

namespace zub {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(std::uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (!IsScalarValue(c)) c = kReplacement;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The plain C/POSIX locale is ASCII: texts of this system in it are UTF-8, the
// system's encoding, rather than losing every non-ASCII character.
bool NarrowIsUtf8() {
    const char* codeset = nl_langinfo(CODESET);
    return codeset == nullptr || std::strcmp(codeset, "UTF-8") == 0 ||
           std::strcmp(codeset, "ANSI_X3.4-1968") == 0;
}

}  // namespace

std::string WideToUtf8(std::wstring_view w) {
    std::string out;
    out.reserve(w.size());
    for (wchar_t c : w) AppendUtf8(out, static_cast<std::uint32_t>(c));
    return out;
}

std::wstring Utf8ToWide(std::string_view s) {
    // The ASCII run most texts are, widened in one go.
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n && static_cast<unsigned char>(s[i]) < 0x80) ++i;
    std::wstring out(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(i));
    if (i == n) return out;
    out.reserve(n);
    while (i < n) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        // Bounds of the second byte exclude overlong forms, surrogates and
        // values past U+10FFFF; a bad sequence yields one U+FFFD for its
        // longest valid prefix.
        int need = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        std::uint32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            if (j >= n) {
                ok = false;
                break;
            }
            const auto c = static_cast<unsigned char>(s[j]);
            if (c < (k == 0 ? lo : 0x80) || c > (k == 0 ? hi : 0xBF)) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        out.push_back(static_cast<wchar_t>(ok ? cp : kReplacement));
        i = j;
    }
    return out;
}

std::u16string WideToUtf16(std::wstring_view w) {
    std::u16string out;
    out.reserve(w.size());
    for (wchar_t wc : w) {
        auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x10000) {
            // Lone surrogates pass through so UTF-16 text round-trips unchanged.
            out.push_back(static_cast<char16_t>(c));
        } else if (c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(kReplacement));
        }
    }
    return out;
}

std::wstring Utf16ToWide(std::u16string_view s) {
    std::wstring out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const std::uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            const std::uint32_t low = s[i + 1];
            out.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00)));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    return out;
}

std::string WideToNarrow(std::wstring_view w) {
    if (NarrowIsUtf8()) return WideToUtf8(w);
    std::string out;
    out.reserve(w.size());
    char buf[MB_LEN_MAX];
    std::mbstate_t state{};
    for (wchar_t c : w) {
        std::size_t r = std::wcrtomb(buf, c, &state);
        if (r == static_cast<std::size_t>(-1)) {
            state = std::mbstate_t{};
            r = std::wcrtomb(buf, static_cast<wchar_t>(kReplacement), &state);
            if (r == static_cast<std::size_t>(-1)) {
                state = std::mbstate_t{};
                buf[0] = '?';
                r = 1;
            }
        }
        out.append(buf, r);
    }
    // A stateful encoding ends in its initial shift state; the terminator
    // that wcrtomb adds for that is not part of the text.
    const std::size_t r = std::wcrtomb(buf, L'\0', &state);
    if (r != static_cast<std::size_t>(-1) && r > 1) out.append(buf, r - 1);
    return out;
}

std::wstring NarrowToWide(std::string_view s) {
    if (NarrowIsUtf8()) return Utf8ToWide(s);
    std::wstring out;
    out.reserve(s.size());
    std::mbstate_t state{};
    std::size_t i = 0;
    while (i < s.size()) {
        wchar_t wc = 0;
        const std::size_t r = std::mbrtowc(&wc, s.data() + i, s.size() - i, &state);
        if (r == static_cast<std::size_t>(-1)) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            state = std::mbstate_t{};
            ++i;
        } else if (r == static_cast<std::size_t>(-2)) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            break;
        } else if (r == 0) {
            out.push_back(L'\0');
            ++i;
        } else {
            out.push_back(wc);
            if (r != static_cast<std::size_t>(-3)) i += r;
        }
    }
    return out;
}

std::wstring FormatBounded(std::size_t bufferSize, const wchar_t* format, ...) {
    if (bufferSize == 0 || format == nullptr) return {};
    std::va_list args;
    va_start(args, format);

    std::wstring out;
    std::vector<wchar_t> buffer(bufferSize);
    std::va_list first;
    va_copy(first, args);
    const int n = std::vswprintf(buffer.data(), bufferSize, format, first);
    va_end(first);
    if (n >= 0) {
        out.assign(buffer.data(), static_cast<std::size_t>(n));
    } else {
        // vswprintf reports a cut result only as -1 and leaves the buffer
        // unspecified, so format the whole text elsewhere and keep its prefix.
        // On an encoding error the text formatted up to it is kept.
        wchar_t* raw = nullptr;
        std::size_t length = 0;
        {
            const auto close = [](std::FILE* f) { std::fclose(f); };
            std::unique_ptr<std::FILE, decltype(close)> stream(open_wmemstream(&raw, &length),
                                                               close);
            if (stream) std::vfwprintf(stream.get(), format, args);
        }
        const auto release = [](wchar_t* p) { std::free(p); };
        const std::unique_ptr<wchar_t, decltype(release)> all(raw, release);
        if (all) out.assign(all.get(), length < bufferSize - 1 ? length : bufferSize - 1);
    }
    va_end(args);
    return out;
}

std::wstring Format(const wchar_t* format, ...) {
    std::va_list args;
    va_start(args, format);
    wchar_t* raw = nullptr;
    std::size_t length = 0;
    {
        const auto close = [](std::FILE* f) { std::fclose(f); };
        std::unique_ptr<std::FILE, decltype(close)> stream(open_wmemstream(&raw, &length), close);
        if (stream) std::vfwprintf(stream.get(), format, args);
    }
    va_end(args);
    const auto release = [](wchar_t* p) { std::free(p); };
    const std::unique_ptr<wchar_t, decltype(release)> all(raw, release);
    if (!all) throw std::bad_alloc();
    return std::wstring(all.get(), length);
}

std::string FormatV(const char* format, std::va_list args) {
    std::va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(again);
    return out;
}

std::string Format(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

}  // namespace zub
