// What tests of the programs' language look for in what a user reads.
#pragma once

#include <string>
#include <string_view>

namespace zub::testsupport {

// Whether the UTF-8 text holds a Chinese (CJK) character or CJK punctuation.
bool HasCjk(std::string_view utf8);

// The first run of three or more English words (letters only, two or more
// each, one blank apart) in the text, or empty: an English sentence left in
// a text that should be Chinese. Names, paths and options are rarely three
// plain words in a row; a quoted command line
// (a run starting with one of our programs' names) is not counted.
std::string EnglishRun(std::string_view utf8);

}  // namespace zub::testsupport
