#include <zub/com/typelib.h>

#include <zub/text.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace zub::com {
HRESULT LoadTypeLibFromModule(const std::wstring& path, std::uint32_t id, ITypeLib** out);
}

namespace {

bool ReadFile(const std::string& path, std::vector<std::uint8_t>* out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

bool AllDigits(std::wstring_view s) {
    if (s.empty() || s.size() > 9) return false;
    for (wchar_t c : s)
        if (c < L'0' || c > L'9') return false;
    return true;
}

}  // namespace

HRESULT LoadTypeLib(LPCOLESTR file, ITypeLib** out) {
    if (!file || !out) return E_INVALIDARG;
    *out = nullptr;
    std::wstring path = zub::Utf16ToWide(file);
    std::uint32_t id = 1;
    std::vector<std::uint8_t> bytes;
    if (!ReadFile(zub::WideToNarrow(path), &bytes)) {
        // "module\2": resource 2 of the module.
        std::size_t sep = path.find_last_of(L"\\/");
        if (sep == std::wstring::npos || !AllDigits(path.substr(sep + 1)))
            return TYPE_E_CANTLOADLIBRARY;
        id = static_cast<std::uint32_t>(std::stoul(path.substr(sep + 1)));
        path.resize(sep);
        if (!ReadFile(zub::WideToNarrow(path), &bytes)) return TYPE_E_CANTLOADLIBRARY;
    }
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "MSFT", 4) == 0)
        return zub::com::LoadTypeLibFromMemory(bytes, out);
    return zub::com::LoadTypeLibFromModule(path, id, out);
}
