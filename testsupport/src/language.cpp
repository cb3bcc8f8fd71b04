#include "zubtest/language.h"

#include <cstdint>

namespace zub::testsupport {
namespace {

// Decodes the code point at `i` and advances past it; bytes that are not
// UTF-8 count as one unknown character.
char32_t Next(std::string_view s, std::size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : extra == 1 ? b & 0x1F : b;
    ++i;
    for (int k = 0; k < extra && i < s.size(); ++k, ++i)
        c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
    return c;
}

bool IsCjk(char32_t c) {
    return (c >= 0x3000 && c <= 0x303F) ||  // CJK punctuation
           (c >= 0x3400 && c <= 0x4DBF) ||  // extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||  // unified ideographs
           (c >= 0xF900 && c <= 0xFAFF) ||  // compatibility ideographs
           (c >= 0xFF00 && c <= 0xFFEF) ||  // full-width forms
           (c >= 0x20000 && c <= 0x2FA1F);  // supplementary ideographs
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A command line quoted in a message ("vault doc checkout") is not English.
bool IsCommand(std::string_view run) {
    for (std::string_view program :
         {"vault", "kitsetup", "zubcom", "zubreg", "zubcax", "zubregsvr"})
        if (run.substr(0, program.size()) == program &&
            (run.size() == program.size() || run[program.size()] == ' '))
            return true;
    return false;
}

}  // namespace

bool HasCjk(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size();)
        if (IsCjk(Next(utf8, i))) return true;
    return false;
}

std::string EnglishRun(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        // A word starts after a blank, a bracket, a quote or a Chinese character,
        // never inside a name or path.
        bool boundary = i == 0 || s[i - 1] == ' ' || s[i - 1] == '(' || s[i - 1] == '"' ||
                        static_cast<unsigned char>(s[i - 1]) >= 0x80;
        if (!boundary || !IsLetter(s[i])) {
            ++i;
            continue;
        }
        std::size_t start = i, words = 0, end = i;
        std::size_t j = i;
        while (j < s.size()) {
            std::size_t w = j;
            while (w < s.size() && IsLetter(s[w])) ++w;
            bool word = w - j >= 2 && (w == s.size() || s[w] == ' ' || s[w] == ',' || s[w] == '.' ||
                                       s[w] == ':' || s[w] == ';');
            if (!word) break;
            ++words;
            end = w;
            if (w < s.size() && s[w] != ' ') break;
            if (w + 1 >= s.size() || !IsLetter(s[w + 1])) break;
            j = w + 1;
        }
        std::string_view run = s.substr(start, end - start);
        if (words >= 3 && !IsCommand(run)) return std::string(run);
        i = end > i ? end : i + 1;
    }
    return {};
}

}  // namespace zub::testsupport
