#include "command_text.h"

#include <algorithm>
#include <cwctype>

namespace ZUBCAX {
namespace {

struct PathParts {
    std::wstring dir;
    std::wstring name;
};

PathParts Split(const std::wstring& path) {
    std::size_t sep = path.rfind(L'\\');
    if (sep == std::wstring::npos) sep = path.rfind(L'/');
    if (sep == std::wstring::npos) return {path, {}};
    return {path.substr(0, sep + 1), path.substr(sep + 1)};
}

std::wstring WithoutVersionSuffix(std::wstring name) {
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot + 1 == name.size()) return name;
    const bool numeric = std::all_of(name.begin() + static_cast<std::ptrdiff_t>(dot + 1),
                                     name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    if (numeric) name.erase(dot);
    return name;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(static_cast<wint_t>(x)) ==
                      std::towlower(static_cast<wint_t>(y));
           });
}

}  // namespace

std::vector<std::wstring> SplitTables(const std::wstring& tables) {
    std::vector<std::wstring> out;
    std::size_t start = 0;
    for (std::size_t comma = tables.find(L','); comma != std::wstring::npos;
         comma = tables.find(L',', start)) {
        out.push_back(tables.substr(start, comma - start));
        start = comma + 1;
    }
    if (start < tables.size()) out.push_back(tables.substr(start));
    return out;
}

bool SameNameOtherDirectory(const std::wstring& current, const std::wstring& requested) {
    if (current.empty()) return false;
    const PathParts a = Split(current);
    const PathParts b = Split(requested);
    const std::wstring nameA = WithoutVersionSuffix(a.name);
    const std::wstring nameB = WithoutVersionSuffix(b.name);
    // A path with no file name names no model, so it cannot clash with one.
    if (nameA.empty() || nameB.empty()) return false;
    return !EqualNoCase(a.dir, b.dir) && EqualNoCase(nameA, nameB);
}

}  // namespace ZUBCAX

namespace ZUBCAX {

std::wstring DescriptionPathFor(const std::wstring& modulePath) {
    const std::size_t sep = modulePath.find_last_of(L"/\\");
    const std::wstring dir =
        sep == std::wstring::npos ? std::wstring() : modulePath.substr(0, sep + 1);
    return dir + L"/zh-cn/dd_2.xml";
}

}  // namespace ZUBCAX
