// Runs one of our programs as a user of a given language would, and finds the
// lines of what it printed that leave that language.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zub::testsupport {

enum class Speaks { Chinese, English };

struct ProgramRun {
    int status = -1;  // the exit status, -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args` under LANG=zh_CN.UTF-8 or en_US.UTF-8 (LANGUAGE
// and every LC_ variable removed), `input` on its standard input, the rest of
// the environment as the test's.
ProgramRun RunSpeaking(Speaks language, const std::string& program,
                       const std::vector<std::string>& args, const std::string& input = "");

// The first line of `text` that mixes in the other language, or empty: a CJK
// character in an English text, an English sentence (EnglishRun) in a Chinese
// one. Each of `verbatim` (user data, a component's text shown as it is) is
// cut out of a line before it is judged.
std::string MixedLine(std::string_view text, Speaks language,
                      const std::vector<std::string>& verbatim = {});

// Those of `texts` (a component's texts a program shows through
// zub::LibraryText) that the library's catalog has no entry for yet: they are
// shown as they are, in English, in either language.
std::vector<std::string> NotInLibraryCatalog(const std::vector<std::string>& texts);

}  // namespace zub::testsupport
