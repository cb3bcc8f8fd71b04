#include "zub/i18n.h"

#include <libintl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>

#include "zub/text.h"

#ifndef ZUB_BUILD_LOCALEDIR
#define ZUB_BUILD_LOCALEDIR ""
#endif

namespace zub::i18n {
namespace {

Language g_language = Language::English;
std::string g_localeDir;

bool Set(const char* v) { return v != nullptr && *v != '\0'; }

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

bool IsPlainLocale(std::string_view name) {
    return name == "C" || name == "POSIX" || StartsWith(name, "C.") || StartsWith(name, "POSIX.");
}

bool IsDir(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FindLocaleDir() {
    if (const char* env = std::getenv("ZUB_LOCALEDIR"); Set(env)) return env;
    std::string exe(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (n > 0) {
        exe.resize(static_cast<std::size_t>(n));
        std::string dir = exe.substr(0, exe.rfind('/'));
        std::string installed = dir + "/../share/locale";
        if (IsDir(installed)) return installed;
    }
    return ZUB_BUILD_LOCALEDIR;
}

void Bind(const char* domain) {
    ::bindtextdomain(domain, g_localeDir.c_str());
    ::bind_textdomain_codeset(domain, "UTF-8");
}

std::uint32_t Word(const std::string& data, std::size_t at, bool swapped) {
    if (at + 4 > data.size()) throw std::out_of_range("catalog too short");
    std::uint32_t w;
    std::memcpy(&w, data.data() + at, 4);
    return swapped ? __builtin_bswap32(w) : w;
}

// One piece of a template: literal text, then (unless last) a placeholder.
struct Piece {
    std::string literal;
    bool hasArg = false;
    bool numeric = false;
    int position = 0;  // 1-based argument number
};

// Splits a printf template; nullopt when it holds a conversion we do not match.
std::optional<std::vector<Piece>> Split(std::string_view id) {
    std::vector<Piece> pieces(1);
    int next = 1;
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (id[i] != '%') {
            pieces.back().literal += id[i];
            continue;
        }
        std::size_t j = i + 1;
        if (j < id.size() && id[j] == '%') {
            pieces.back().literal += '%';
            i = j;
            continue;
        }
        int position = 0;
        std::size_t k = j;
        while (k < id.size() && id[k] >= '0' && id[k] <= '9') ++k;
        if (k > j && k < id.size() && id[k] == '$') {
            position = std::atoi(std::string(id.substr(j, k - j)).c_str());
            j = k + 1;
        } else if (k > j) {
            // A system text's insert ("%1 is not ..."): nothing fills it, it is text.
            pieces.back().literal += id.substr(i, k - i);
            i = k - 1;
            continue;
        }
        while (j < id.size() && (id[j] == 'l' || id[j] == 'z' || id[j] == 'h')) ++j;
        if (j >= id.size()) return std::nullopt;
        char conv = id[j];
        if (conv != 's' && conv != 'd' && conv != 'i' && conv != 'u') return std::nullopt;
        Piece& p = pieces.back();
        p.hasArg = true;
        p.numeric = conv != 's';
        p.position = position != 0 ? position : next;
        next = p.position + 1;
        pieces.emplace_back();
        i = j;
    }
    return pieces;
}

bool IsNumber(std::string_view s) {
    if (!s.empty() && s[0] == '-') s.remove_prefix(1);
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Matches pieces[i..] against text[at..]; shortest arguments first.
bool Match(const std::vector<Piece>& pieces, std::size_t i, std::string_view text,
           std::vector<std::string>& args) {
    const Piece& p = pieces[i];
    if (!StartsWith(text, p.literal)) return false;
    text.remove_prefix(p.literal.size());
    if (!p.hasArg) return text.empty();
    const std::string& after = pieces[i + 1].literal;
    auto tryArg = [&](std::size_t end) {
        std::string_view arg = text.substr(0, end);
        if (p.numeric && !IsNumber(arg)) return false;
        if (args.size() < static_cast<std::size_t>(p.position)) args.resize(p.position);
        std::string keep = args[p.position - 1];
        args[p.position - 1] = std::string(arg);
        if (Match(pieces, i + 1, text.substr(end), args)) return true;
        args[p.position - 1] = std::move(keep);
        return false;
    };
    if (i + 2 == pieces.size()) {  // the last placeholder: what follows ends the text
        if (text.size() < after.size()) return false;
        return tryArg(text.size() - after.size());
    }
    for (std::size_t end = text.find(after); end != std::string_view::npos;
         end = text.find(after, end + 1))
        if (tryArg(end)) return true;
    return false;
}

std::size_t LiteralSize(const std::vector<Piece>& pieces) {
    std::size_t n = 0;
    for (const Piece& p : pieces) n += p.literal.size();
    return n;
}

using Translator = const char* (*)(const char* id);

std::optional<std::string> Translated(std::string_view text, const std::vector<std::string>& ids,
                                      Translator translate, bool nested);

// A text argument that is itself a library text (an error reported inside
// another's text) is translated too; a bare placeholder does not count there,
// or every argument would match it.
std::string Fill(std::string_view translation, const std::vector<std::string>& args,
                 std::string_view text, const std::vector<std::string>& ids, Translator translate) {
    auto pieces = Split(translation);
    if (!pieces) return std::string(translation);
    std::string out;
    for (const Piece& p : *pieces) {
        out += p.literal;
        if (!p.hasArg) continue;
        if (static_cast<std::size_t>(p.position) > args.size()) continue;
        const std::string& arg = args[p.position - 1];
        std::optional<std::string> inner;
        if (!p.numeric && arg.size() < text.size()) inner = Translated(arg, ids, translate, true);
        out += inner ? *inner : arg;
    }
    return out;
}

std::optional<std::string> Translated(std::string_view text, const std::vector<std::string>& ids,
                                      Translator translate, bool nested) {
    const std::string* best = nullptr;
    std::vector<std::string> bestArgs;
    std::size_t bestSize = 0;
    for (const std::string& id : ids) {
        auto pieces = Split(id);
        if (!pieces) continue;
        std::size_t size = LiteralSize(*pieces);
        if (best != nullptr && size <= bestSize) continue;
        if (nested && size == 0) continue;
        std::vector<std::string> args;
        if (!Match(*pieces, 0, text, args)) continue;
        best = &id;
        bestArgs = std::move(args);
        bestSize = size;
    }
    if (best == nullptr) return std::nullopt;
    return Fill(translate(best->c_str()), bestArgs, text, ids, translate);
}

}  // namespace

Language ChooseLanguage(const char* language, const char* lcAll, const char* lcMessages,
                        const char* lang) {
    const char* locale = Set(lcAll) ? lcAll : Set(lcMessages) ? lcMessages : lang;
    bool plain = !Set(locale) || IsPlainLocale(locale);
    if (Set(language) && !plain) {
        std::string_view list(language);
        while (!list.empty()) {
            std::size_t colon = list.find(':');
            std::string_view entry = list.substr(0, colon);
            if (StartsWith(entry, "zh")) return Language::Chinese;
            if (StartsWith(entry, "en")) return Language::English;
            if (colon == std::string_view::npos) break;
            list.remove_prefix(colon + 1);
        }
    }
    return Set(locale) && StartsWith(locale, "zh") ? Language::Chinese : Language::English;
}

void Init(const char* domain) {
    if (std::setlocale(LC_ALL, "") == nullptr) std::setlocale(LC_ALL, "C.UTF-8");
    g_language = ChooseLanguage(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    // gettext ignores LANGUAGE under the plain C locale, and a missing
    // zh_CN locale must not silence the Chinese catalog.
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    if (messages == nullptr || std::string_view(messages) == "C" ||
        std::string_view(messages) == "POSIX")
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    ::setenv("LANGUAGE", g_language == Language::Chinese ? "zh_CN" : "en", 1);
    g_localeDir = FindLocaleDir();
    Bind(kLibraryDomain);
    Bind(kPlatformDomain);
    Bind(domain);
    ::textdomain(domain);
}

Language Current() { return g_language; }

const std::string& LocaleDir() { return g_localeDir; }

std::vector<std::string> CatalogIds(const char* domain) {
    std::string dir = g_localeDir.empty() ? FindLocaleDir() : g_localeDir;
    std::ifstream in(dir + "/en/LC_MESSAGES/" + domain + ".mo", std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> ids;
    if (data.size() < 20) return ids;
    std::uint32_t magic = Word(data, 0, false);
    bool swapped = magic == 0xde120495u;
    if (!swapped && magic != 0x950412deu) return ids;
    std::uint32_t count = Word(data, 8, swapped);
    std::uint32_t table = Word(data, 12, swapped);
    try {
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t length = Word(data, table + 8 * i, swapped);
            std::uint32_t offset = Word(data, table + 8 * i + 4, swapped);
            if (length == 0 || offset + length > data.size()) continue;
            std::string id = data.substr(offset, length);
            ids.push_back(id.substr(0, id.find('\0')));
        }
    } catch (const std::out_of_range&) {
        ids.clear();
    }
    return ids;
}

std::vector<std::string> LibraryIds() {
    std::vector<std::string> ids = CatalogIds(kLibraryDomain);
    std::vector<std::string> platform = CatalogIds(kPlatformDomain);
    ids.insert(ids.end(), platform.begin(), platform.end());
    return ids;
}

std::string TranslateByTemplate(std::string_view text, const std::vector<std::string>& ids,
                                const char* (*translate)(const char* id)) {
    // An exception's text is recorded with a closing line break.
    if (!text.empty() && text.back() == '\n') {
        std::optional<std::string> out =
            Translated(text.substr(0, text.size() - 1), ids, translate, false);
        if (out) return *out + '\n';
    }
    std::optional<std::string> out = Translated(text, ids, translate, false);
    return out ? std::move(*out) : std::string(text);
}

}  // namespace zub::i18n

namespace zub {

const char* tr(const char* msgid) { return ::gettext(msgid); }

std::string trf(const char* msgid, ...) {
    va_list args;
    va_start(args, msgid);
    std::string out = FormatV(::gettext(msgid), args);
    va_end(args);
    return out;
}

std::string LibraryText(std::string_view utf8) {
    static std::once_flag once;
    static std::vector<std::string> ids;
    std::call_once(once, [] { ids = i18n::LibraryIds(); });
    // gettext hands back the id itself where a domain lacks it.
    return i18n::TranslateByTemplate(utf8, ids, [](const char* id) -> const char* {
        const char* text = ::dgettext(i18n::kLibraryDomain, id);
        return text != id ? text : ::dgettext(i18n::kPlatformDomain, id);
    });
}

std::wstring LibraryText(std::wstring_view text) {
    return Utf8ToWide(LibraryText(WideToUtf8(text)));
}

}  // namespace zub
