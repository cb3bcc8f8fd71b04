// Server paths as the file server resolves them, so that two spellings of one
// file or tree compare equal.
#pragma once

#include <string>
#include <vector>

namespace DRM {

// The parts of a server path: separators '\' or '/', empty and "." parts
// dropped, a leading drive "x:" taken as the folder "X". ".." is kept (the
// server refuses it anyway).
std::vector<std::wstring> ServerPathParts(const std::wstring& path);

// The parts joined with '\': equal for every spelling of one path.
std::wstring CanonicalServerPath(const std::wstring& path);

// Whether the canonical text of one contains the other's: every pair of
// trees of which one holds the other (or both are one) overlaps.
bool TreesOverlap(const std::wstring& a, const std::wstring& b);

// Control characters (C0, DEL, C1) that must not reach a stored name.
bool HasControlChar(const std::wstring& text);

}  // namespace DRM
