#include "internal/serverpath.h"

namespace DRM {

std::vector<std::wstring> ServerPathParts(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring part = path.substr(start, end - start);
        if (!part.empty() && part != L".") {
            if (parts.empty() && part.size() == 2 && part[1] == L':' &&
                ((part[0] >= L'a' && part[0] <= L'z') || (part[0] >= L'A' && part[0] <= L'Z')))
                part = std::wstring(1, static_cast<wchar_t>(part[0] & ~0x20));
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    return parts;
}

std::wstring CanonicalServerPath(const std::wstring& path) {
    std::wstring joined;
    for (const std::wstring& part : ServerPathParts(path)) {
        if (!joined.empty()) joined += L'\\';
        joined += part;
    }
    return joined;
}

bool TreesOverlap(const std::wstring& a, const std::wstring& b) {
    // Containment of the texts, not of whole parts: stricter than needed
    // (repo1 and repo10 are refused), never looser. A closing separator is
    // kept, so "demo\" and "demo2\" stay apart.
    auto text = [](const std::wstring& path) {
        std::wstring canonical = CanonicalServerPath(path);
        if (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) canonical += L'\\';
        return canonical;
    };
    // The server's root holds every tree.
    if (CanonicalServerPath(a).empty() || CanonicalServerPath(b).empty()) return true;
    const std::wstring x = text(a);
    const std::wstring y = text(b);
    return x.find(y) != std::wstring::npos || y.find(x) != std::wstring::npos;
}

bool HasControlChar(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) return true;
    }
    return false;
}

}  // namespace DRM
