// Comma lists and path joining shared by every installer part.
#pragma once

#include <string>
#include <vector>

namespace zub::kitsetup {

// Splits at every occurrence of sep; an empty text gives no items, a
// trailing separator adds none, empty items in between are kept.
std::vector<std::wstring> SplitList(const std::wstring& text, const std::wstring& sep);

// True when name is a non-empty item of list.
bool ListContains(const std::wstring& list, const std::wstring& name,
                  const std::wstring& sep = L",");

// Adds the items not yet in list, in order of first appearance; "*" on
// either side makes the whole list "*".
void mergeList(std::wstring& list, const std::wstring& items, const std::wstring& sep = L",");

// Joins two path parts with one "/": blanks and backslashes are trimmed from
// both ends of both parts, then trailing separators of a and leading ones of b.
std::wstring joinPath(const std::wstring& a, const std::wstring& b);

// Script paths are written with "\"; the local disk uses "/".
std::wstring LocalPath(std::wstring scriptPath);

// True when the relative path has no ".." that climbs above its start and is
// not absolute: joined to a base, it stays below that base.
bool StaysBelow(const std::wstring& relative);

}  // namespace zub::kitsetup
