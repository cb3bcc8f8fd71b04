#include "internal/versionnumbering.h"

#include <climits>
#include <cwchar>

namespace DRM::VersionNumbering {

int LeadingInt(const std::wstring& text) {
    const long long v = std::wcstoll(text.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

std::wstring Next(const std::wstring& current, int scheme) {
    if (scheme == 1) return std::to_wstring(static_cast<long long>(LeadingInt(current)) + 1);
    if (scheme != 2) return std::wstring();
    const std::size_t dot = current.find(L'.');
    if (dot == std::wstring::npos)
        return std::to_wstring(static_cast<long long>(LeadingInt(current)) + 1);
    return current.substr(0, dot + 1) +
           std::to_wstring(static_cast<long long>(LeadingInt(current.substr(dot + 1))) + 1);
}

int Main(const std::wstring& version) { return LeadingInt(version); }

int Sub(const std::wstring& version) {
    const std::size_t dot = version.find(L'.');
    return LeadingInt(dot == std::wstring::npos ? version : version.substr(dot + 1));
}

}  // namespace DRM::VersionNumbering
