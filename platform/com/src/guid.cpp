#include <zub/com/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace zub::com {

std::wstring GuidToString(REFGUID g) {
    wchar_t buf[40];
    std::swprintf(buf, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), unsigned{g.Data2}, unsigned{g.Data3},
                  unsigned{g.Data4[0]}, unsigned{g.Data4[1]}, unsigned{g.Data4[2]},
                  unsigned{g.Data4[3]}, unsigned{g.Data4[4]}, unsigned{g.Data4[5]},
                  unsigned{g.Data4[6]}, unsigned{g.Data4[7]});
    return buf;
}

namespace {

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool Hex(std::wstring_view s, std::size_t pos, std::size_t n, std::uint32_t* out) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
        int d = HexDigit(s[pos + i]);
        if (d < 0) return false;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    *out = v;
    return true;
}

}  // namespace

bool GuidFromString(std::wstring_view s, GUID* out) {
    if (s.size() == 38) {
        if (s.front() != L'{' || s.back() != L'}') return false;
        s = s.substr(1, 36);
    }
    if (s.size() != 36 || s[8] != L'-' || s[13] != L'-' || s[18] != L'-' || s[23] != L'-')
        return false;
    GUID g{};
    std::uint32_t v = 0;
    if (!Hex(s, 0, 8, &v)) return false;
    g.Data1 = v;
    if (!Hex(s, 9, 4, &v)) return false;
    g.Data2 = static_cast<std::uint16_t>(v);
    if (!Hex(s, 14, 4, &v)) return false;
    g.Data3 = static_cast<std::uint16_t>(v);
    static constexpr std::size_t kPos[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        if (!Hex(s, kPos[i], 2, &v)) return false;
        g.Data4[i] = static_cast<std::uint8_t>(v);
    }
    *out = g;
    return true;
}

std::wstring HResultHex(HRESULT hr) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"0x%08X", static_cast<unsigned>(hr));
    return buf;
}

std::wstring HResultText(HRESULT hr) {
    struct Entry {
        HRESULT hr;
        const wchar_t* text;
    };
    static constexpr Entry kTexts[] = {
        {S_OK, L"The operation completed successfully."},
        {S_FALSE, L"False."},
        {E_NOTIMPL, L"Not implemented."},
        {E_NOINTERFACE, L"No such interface supported."},
        {E_POINTER, L"Invalid pointer."},
        {E_ABORT, L"Operation aborted."},
        {E_FAIL, L"Unspecified error."},
        {E_UNEXPECTED, L"Catastrophic failure."},
        {E_ACCESSDENIED, L"Access is denied."},
        {E_HANDLE, L"The handle is invalid."},
        {E_OUTOFMEMORY, L"Not enough memory resources are available to complete this operation."},
        {E_INVALIDARG, L"The parameter is incorrect."},
        {RPC_E_CHANGED_MODE, L"Cannot change thread mode after it is set."},
        {CLASS_E_NOAGGREGATION, L"Class does not support aggregation."},
        {CLASS_E_CLASSNOTAVAILABLE, L"ClassFactory cannot supply requested class."},
        {REGDB_E_READREGDB, L"Could not read key from registry."},
        {REGDB_E_WRITEREGDB, L"Could not write key to registry."},
        {REGDB_E_KEYMISSING, L"Could not find the key in the registry."},
        {REGDB_E_CLASSNOTREG, L"Class not registered."},
        {CO_E_NOTINITIALIZED, L"CoInitialize has not been called."},
        {CO_E_CLASSSTRING, L"Invalid class string."},
        {CO_E_DLLNOTFOUND, L"DLL for class not found."},
        {CO_E_ERRORINDLL, L"Error in the DLL."},
        {DISP_E_UNKNOWNINTERFACE, L"Unknown interface."},
        {DISP_E_MEMBERNOTFOUND, L"Member not found."},
        {DISP_E_PARAMNOTFOUND, L"Parameter not found."},
        {DISP_E_TYPEMISMATCH, L"Type mismatch."},
        {DISP_E_UNKNOWNNAME, L"Unknown name."},
        {DISP_E_NONAMEDARGS, L"No named arguments."},
        {DISP_E_BADVARTYPE, L"Bad variable type."},
        {DISP_E_EXCEPTION, L"Exception occurred."},
        {DISP_E_OVERFLOW, L"Out of present range."},
        {DISP_E_BADINDEX, L"Invalid index."},
        {DISP_E_UNKNOWNLCID, L"Unknown language."},
        {DISP_E_BADPARAMCOUNT, L"Invalid number of parameters."},
        {DISP_E_PARAMNOTOPTIONAL, L"Parameter not optional."},
        {DISP_E_BADCALLEE, L"Invalid callee."},
        {DISP_E_DIVBYZERO, L"Division by zero."},
        {TYPE_E_BUFFERTOOSMALL, L"Buffer too small."},
        {TYPE_E_INVDATAREAD, L"Old format or invalid type library."},
        {TYPE_E_UNSUPFORMAT, L"Old format or invalid type library."},
        {TYPE_E_REGISTRYACCESS, L"Error accessing the OLE registry."},
        {TYPE_E_LIBNOTREGISTERED, L"Library not registered."},
        {TYPE_E_UNDEFINEDTYPE, L"Bound to unknown type."},
        {TYPE_E_WRONGTYPEKIND, L"Wrong type kind for the operation."},
        {TYPE_E_ELEMENTNOTFOUND, L"Element not found."},
        {TYPE_E_AMBIGUOUSNAME, L"Ambiguous name."},
        {TYPE_E_BADMODULEKIND, L"Module is of the wrong kind."},
        {TYPE_E_TYPEMISMATCH, L"Type mismatch."},
        {TYPE_E_OUTOFBOUNDS, L"Invalid number of arguments."},
        {TYPE_E_IOERROR, L"I/O error."},
        {TYPE_E_CANTLOADLIBRARY, L"Error loading type library/DLL."},
    };
    for (const Entry& e : kTexts)
        if (e.hr == hr) return e.text;
    return (FAILED(hr) ? L"Error " : L"Status ") + HResultHex(hr) + L".";
}

}  // namespace zub::com

void* CoTaskMemAlloc(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }
void CoTaskMemFree(void* p) { std::free(p); }

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* out) {
    if (!out) return E_INVALIDARG;
    std::wstring s = zub::com::GuidToString(clsid);
    auto* p = static_cast<OLECHAR*>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
    if (!p) return E_OUTOFMEMORY;
    for (std::size_t i = 0; i < s.size(); ++i) p[i] = static_cast<OLECHAR>(s[i]);
    p[s.size()] = 0;
    *out = p;
    return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out) {
    if (!out) return E_INVALIDARG;
    if (!text) {
        *out = GUID_NULL;
        return S_OK;
    }
    std::wstring w;
    for (const OLECHAR* p = text; *p; ++p) w.push_back(static_cast<wchar_t>(*p));
    if (w.size() != 38 || !zub::com::GuidFromString(w, out)) return CO_E_CLASSSTRING;
    return S_OK;
}
