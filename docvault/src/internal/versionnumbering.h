// How document versions count: "N" under the whole-number scheme (1), "M.S"
// under the main-and-sub scheme (2). The schemes themselves are the version
// strategy's (QV_DMVerStrategy).
#pragma once

#include <string>

namespace DRM::VersionNumbering {

// The leading integer as the C library reads it (white space, sign, digits;
// 0 without digits), held to the range of int.
int LeadingInt(const std::wstring& text);
// The version after `current`; empty for an unknown scheme.
std::wstring Next(const std::wstring& current, int scheme);
// The main and the sub number of a version ("3" has the sub number 3 too).
int Main(const std::wstring& version);
int Sub(const std::wstring& version);

}  // namespace DRM::VersionNumbering
