#include <zub/com/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "zub/i18n.h"
#include "zub/text.h"

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
        {S_OK, ZUB_N_(L"The operation completed successfully.")},
        {S_FALSE, ZUB_N_(L"False.")},
        {E_NOTIMPL, ZUB_N_(L"Not implemented.")},
        {E_NOINTERFACE, ZUB_N_(L"No such interface supported.")},
        {E_POINTER, ZUB_N_(L"Invalid pointer.")},
        {E_ABORT, ZUB_N_(L"Operation aborted.")},
        {E_FAIL, ZUB_N_(L"Unspecified error.")},
        {E_UNEXPECTED, ZUB_N_(L"Catastrophic failure.")},
        {E_ACCESSDENIED, ZUB_N_(L"Access is denied.")},
        {E_HANDLE, ZUB_N_(L"The handle is invalid.")},
        {E_OUTOFMEMORY,
         ZUB_N_(L"Not enough memory resources are available to complete this operation.")},
        {E_INVALIDARG, ZUB_N_(L"The parameter is incorrect.")},
        {RPC_E_CHANGED_MODE, ZUB_N_(L"Cannot change thread mode after it is set.")},
        {CLASS_E_NOAGGREGATION, ZUB_N_(L"Class does not support aggregation.")},
        {CLASS_E_CLASSNOTAVAILABLE, ZUB_N_(L"ClassFactory cannot supply requested class.")},
        {REGDB_E_READREGDB, ZUB_N_(L"Could not read key from registry.")},
        {REGDB_E_WRITEREGDB, ZUB_N_(L"Could not write key to registry.")},
        {REGDB_E_KEYMISSING, ZUB_N_(L"Could not find the key in the registry.")},
        {REGDB_E_CLASSNOTREG, ZUB_N_(L"Class not registered.")},
        {CO_E_NOTINITIALIZED, ZUB_N_(L"CoInitialize has not been called.")},
        {CO_E_CLASSSTRING, ZUB_N_(L"Invalid class string.")},
        {CO_E_DLLNOTFOUND, ZUB_N_(L"DLL for class not found.")},
        {CO_E_ERRORINDLL, ZUB_N_(L"Error in the DLL.")},
        {DISP_E_UNKNOWNINTERFACE, ZUB_N_(L"Unknown interface.")},
        {DISP_E_MEMBERNOTFOUND, ZUB_N_(L"Member not found.")},
        {DISP_E_PARAMNOTFOUND, ZUB_N_(L"Parameter not found.")},
        {DISP_E_TYPEMISMATCH, ZUB_N_(L"Type mismatch.")},
        {DISP_E_UNKNOWNNAME, ZUB_N_(L"Unknown name.")},
        {DISP_E_NONAMEDARGS, ZUB_N_(L"No named arguments.")},
        {DISP_E_BADVARTYPE, ZUB_N_(L"Bad variable type.")},
        {DISP_E_EXCEPTION, ZUB_N_(L"Exception occurred.")},
        {DISP_E_OVERFLOW, ZUB_N_(L"Out of present range.")},
        {DISP_E_BADINDEX, ZUB_N_(L"Invalid index.")},
        {DISP_E_UNKNOWNLCID, ZUB_N_(L"Unknown language.")},
        {DISP_E_BADPARAMCOUNT, ZUB_N_(L"Invalid number of parameters.")},
        {DISP_E_PARAMNOTOPTIONAL, ZUB_N_(L"Parameter not optional.")},
        {DISP_E_BADCALLEE, ZUB_N_(L"Invalid callee.")},
        {DISP_E_DIVBYZERO, ZUB_N_(L"Division by zero.")},
        {TYPE_E_BUFFERTOOSMALL, ZUB_N_(L"Buffer too small.")},
        {TYPE_E_INVDATAREAD, ZUB_N_(L"Old format or invalid type library.")},
        {TYPE_E_UNSUPFORMAT, ZUB_N_(L"Old format or invalid type library.")},
        {TYPE_E_REGISTRYACCESS, ZUB_N_(L"Error accessing the OLE registry.")},
        {TYPE_E_LIBNOTREGISTERED, ZUB_N_(L"Library not registered.")},
        {TYPE_E_UNDEFINEDTYPE, ZUB_N_(L"Bound to unknown type.")},
        {TYPE_E_WRONGTYPEKIND, ZUB_N_(L"Wrong type kind for the operation.")},
        {TYPE_E_ELEMENTNOTFOUND, ZUB_N_(L"Element not found.")},
        {TYPE_E_AMBIGUOUSNAME, ZUB_N_(L"Ambiguous name.")},
        {TYPE_E_BADMODULEKIND, ZUB_N_(L"Module is of the wrong kind.")},
        {TYPE_E_TYPEMISMATCH, ZUB_N_(L"Type mismatch.")},
        {TYPE_E_OUTOFBOUNDS, ZUB_N_(L"Invalid number of arguments.")},
        {TYPE_E_IOERROR, ZUB_N_(L"I/O error.")},
        {TYPE_E_CANTLOADLIBRARY, ZUB_N_(L"Error loading type library/DLL.")},
    };
    for (const Entry& e : kTexts)
        if (e.hr == hr) return e.text;
    return zub::FormatBounded(32, FAILED(hr) ? ZUB_N_(L"Error %ls.") : ZUB_N_(L"Status %ls."),
                              HResultHex(hr).c_str());
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
