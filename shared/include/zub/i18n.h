// The language a program speaks to its user, through GNU gettext catalogs.
//
// Each program has a text domain of its own (its messages) and shares the
// library's domain, "zub-library", whose message ids are the texts the library
// and its components report (error texts, verify findings). Those texts are
// the interface and never change; they are translated only where a program
// shows them (LibraryText).
//
// Catalogs are looked for in $ZUB_LOCALEDIR, then ../share/locale beside the
// running program (an install tree), then the build tree's locale folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Marks a text for the catalogs without translating it where it stands.
#define ZUB_N_(text) text

namespace zub::i18n {

enum class Language { English, Chinese };

inline constexpr const char* kLibraryDomain = "zub-library";

// The usual choice: LANGUAGE (a colon-separated list, its first Chinese or
// English entry), honoured unless the locale is C or POSIX, then the first set
// of LC_ALL, LC_MESSAGES, LANG. zh* is Chinese, anything else English. Null
// or empty arguments count as unset.
Language ChooseLanguage(const char* language, const char* lcAll, const char* lcMessages,
                        const char* lang);

// Sets up the calling program: the C locale from the environment (C.UTF-8
// where that locale is missing, so text stays UTF-8), the language chosen from
// the environment whether or not its locale is installed, and the catalogs of
// `domain` and of the library. Call once, first thing in main, before threads.
// Sets LANGUAGE to the chosen catalog, so programs it starts speak the same.
void Init(const char* domain);

// The language Init chose; English before Init.
Language Current();

// The folder the catalogs were found in (empty before Init).
const std::string& LocaleDir();

// The message ids of `domain`'s catalog, read from its compiled file.
std::vector<std::string> CatalogIds(const char* domain);

// Finds the id whose placeholders (%s, %ls, %i, %d, %u, %ld, %lu, %zu, with
// or without an n$ position) match the whole of `text`, preferring the id with
// the most literal text, and formats `translate(id)` with the matched
// arguments. A text argument that matches an id with some literal text of its
// own (a text reported inside another: "operation: what failed") is
// translated the same way. Returns `text` unchanged when no id matches.
std::string TranslateByTemplate(std::string_view text, const std::vector<std::string>& ids,
                                const char* (*translate)(const char* id));

}  // namespace zub::i18n

namespace zub {

// The current language's translation of `msgid` in the program's domain.
const char* tr(const char* msgid) __attribute__((format_arg(1)));

// tr(msgid), formatted printf-style (positions `%1$s` allowed).
std::string trf(const char* msgid, ...) __attribute__((format(printf, 1, 2)));

// A text the library or a component reported, in the current language.
std::string LibraryText(std::string_view utf8);
std::wstring LibraryText(std::wstring_view text);

}  // namespace zub
