#include "kitsetup/lists.h"

#include <algorithm>
#include <cwctype>

namespace zub::kitsetup {

std::vector<std::wstring> SplitList(const std::wstring& text, const std::wstring& sep) {
    std::vector<std::wstring> items;
    if (text.empty()) return items;
    if (sep.empty()) {
        items.push_back(text);
        return items;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t pos = text.find(sep, start);
        if (pos == std::wstring::npos) {
            items.push_back(text.substr(start));
            break;
        }
        items.push_back(text.substr(start, pos - start));
        start = pos + sep.size();
    }
    return items;
}

bool ListContains(const std::wstring& list, const std::wstring& name, const std::wstring& sep) {
    if (name.empty()) return false;
    return (sep + list + sep).find(sep + name + sep) != std::wstring::npos;
}

namespace {

bool IsStar(const std::wstring& s) { return s == L"*"; }

}  // namespace

void mergeList(std::wstring& list, const std::wstring& items, const std::wstring& sep) {
    if (items.empty()) return;
    if (IsStar(list) || IsStar(items)) {
        list = L"*";
        return;
    }
    if (list.empty()) {
        list = items;
        return;
    }
    for (const auto& name : SplitList(items, sep)) {
        if (!name.empty() && !ListContains(list, name, sep)) list += sep + name;
    }
}

namespace {

void TrimEnds(std::wstring& s, const std::wstring& chars, bool front, bool back) {
    if (back) {
        const auto end = s.find_last_not_of(chars);
        s.erase(end == std::wstring::npos ? 0 : end + 1);
    }
    if (front) s.erase(0, std::min(s.size(), s.find_first_not_of(chars)));
}

}  // namespace

std::wstring joinPath(const std::wstring& a, const std::wstring& b) {
    std::wstring x = a;
    std::wstring y = b;
    TrimEnds(x, L" \\", true, true);
    TrimEnds(y, L" \\", true, true);
    TrimEnds(x, L"\\/ ", false, true);
    TrimEnds(y, L"\\/ ", true, false);
    return x + L"/" + y;
}

std::wstring LocalPath(std::wstring scriptPath) {
    std::replace(scriptPath.begin(), scriptPath.end(), L'\\', L'/');
    return scriptPath;
}

bool StaysBelow(const std::wstring& relative) {
    const std::wstring p = LocalPath(relative);
    if (!p.empty() && p.front() == L'/') return false;
    int depth = 0;
    for (const auto& part : SplitList(p, L"/")) {
        if (part == L"..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != L".") {
            ++depth;
        }
    }
    return true;
}

}  // namespace zub::kitsetup
