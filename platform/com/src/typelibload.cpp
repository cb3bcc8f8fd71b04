#include <zub/com/comptr.h>
#include <zub/com/typelib.h>

#include <zub/platform/module.h>
#include <zub/text.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

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

// The type library of a module's TYPELIB resource.
HRESULT LoadTypeLibFromModule(const std::wstring& path, std::uint32_t id, ITypeLib** out) {
    zub::platform::Library lib;
    if (zub::platform::LoadLibrary(path, lib) != 0) return TYPE_E_CANTLOADLIBRARY;
    std::span<const std::uint8_t> data;
    if (zub::platform::FindResource(lib.Handle(), "TYPELIB", id, data) != 0)
        return TYPE_E_CANTLOADLIBRARY;
    return zub::com::LoadTypeLibFromMemory(data, out);  // copies what it needs; the module may go
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
    return LoadTypeLibFromModule(path, id, out);
}

namespace zub::com {

HRESULT TypeInfoOfModule(const void* address, REFGUID guid, ITypeInfo** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    std::span<const std::uint8_t> data;
    if (platform::FindResourceOfAddress(address, "TYPELIB", 1, data) != 0)
        return TYPE_E_CANTLOADLIBRARY;
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibFromMemory(data, lib.put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(guid, out);
}

}  // namespace zub::com
