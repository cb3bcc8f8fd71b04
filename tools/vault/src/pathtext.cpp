#include "pathtext.h"

#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

std::wstring PathText::Folder(const std::wstring& text) {
    std::wstring folder;
    std::wstring part;
    auto flush = [&] {
        if (part.empty()) return;
        if (part == L"." || part == L"..")
            throw VaultError(VaultErr::kBadName, zub::trf("a folder may not contain \"%s\": %s",
                                                          zub::WideToUtf8(part).c_str(),
                                                          zub::WideToUtf8(text).c_str()));
        folder += L"\\" + part;
        part.clear();
    };
    for (wchar_t c : text) {
        if (c == L'/' || c == L'\\')
            flush();
        else
            part += c;
    }
    flush();
    return folder;
}

PathText PathText::Split(const std::wstring& path) {
    const auto slash = path.find_last_of(L"/\\");
    const std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    PathText p;
    p.folder = Folder(slash == std::wstring::npos ? L"" : path.substr(0, slash));
    const auto dot = file.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0 || dot + 1 == file.size())
        throw VaultError(VaultErr::kBadName,
                         zub::trf("documents are named NAME.EXT; this name has no extension: %s",
                                  zub::WideToUtf8(file).c_str()));
    p.name = file.substr(0, dot);
    p.ext = file.substr(dot + 1);
    return p;
}

std::wstring PathText::ShowFolder(const std::wstring& folder) {
    std::wstring shown;
    for (wchar_t c : folder) {
        if (c == L'\\') {
            if (!shown.empty()) shown += L'/';
        } else {
            shown += c;
        }
    }
    return shown;
}

std::wstring PathText::Show(const std::wstring& folder, const std::wstring& name,
                            const std::wstring& ext) {
    std::wstring shown = ShowFolder(folder);
    if (!shown.empty()) shown += L'/';
    return shown + name + L"." + ext;
}

std::string PathText::ShowLocal(const std::filesystem::path& path) {
    std::error_code ec;
    const auto here = std::filesystem::current_path(ec);
    if (ec) return path.string();
    const auto relative = path.lexically_relative(here);
    if (relative.empty() || *relative.begin() == "..") return path.string();
    return relative.string();
}

std::wstring PathText::Wide(const std::filesystem::path& path) {
    return zub::Utf8ToWide(path.string());
}

std::filesystem::path PathText::Local(const std::wstring& text) {
    return std::filesystem::path(zub::WideToUtf8(text));
}

}  // namespace zub::vault
