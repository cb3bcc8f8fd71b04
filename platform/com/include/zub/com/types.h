// Scalar types, status codes and identifiers of COM and OLE Automation with
// the sizes and layouts of the real thing, so that separately built modules
// meet through vtables alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using INT = std::int32_t;
using BYTE = std::uint8_t;
using LCID = std::uint32_t;
using DISPID = std::int32_t;
using MEMBERID = DISPID;
using HREFTYPE = std::uint32_t;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
using DATE = double;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// Length-prefixed UTF-16; a null BSTR is an empty string.
using BSTR = OLECHAR*;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT MakeHr(std::uint32_t v) { return static_cast<HRESULT>(v); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHr(0x80004002);
constexpr HRESULT E_POINTER = MakeHr(0x80004003);
constexpr HRESULT E_ABORT = MakeHr(0x80004004);
constexpr HRESULT E_FAIL = MakeHr(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHr(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHr(0x80070005);
constexpr HRESULT E_HANDLE = MakeHr(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057);
constexpr HRESULT RPC_E_CHANGED_MODE = MakeHr(0x80010106);
constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHr(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHr(0x80040111);
constexpr HRESULT REGDB_E_READREGDB = MakeHr(0x80040150);
constexpr HRESULT REGDB_E_WRITEREGDB = MakeHr(0x80040151);
constexpr HRESULT REGDB_E_KEYMISSING = MakeHr(0x80040152);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHr(0x80040154);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHr(0x800401F0);
constexpr HRESULT CO_E_CLASSSTRING = MakeHr(0x800401F3);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHr(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = MakeHr(0x800401F9);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = MakeHr(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHr(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = MakeHr(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHr(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = MakeHr(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = MakeHr(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = MakeHr(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = MakeHr(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = MakeHr(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = MakeHr(0x8002000B);
constexpr HRESULT DISP_E_UNKNOWNLCID = MakeHr(0x8002000C);
constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHr(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeHr(0x8002000F);
constexpr HRESULT DISP_E_BADCALLEE = MakeHr(0x80020010);
constexpr HRESULT DISP_E_DIVBYZERO = MakeHr(0x80020012);
constexpr HRESULT TYPE_E_BUFFERTOOSMALL = MakeHr(0x80028016);
constexpr HRESULT TYPE_E_INVDATAREAD = MakeHr(0x80028018);
constexpr HRESULT TYPE_E_UNSUPFORMAT = MakeHr(0x80028019);
constexpr HRESULT TYPE_E_REGISTRYACCESS = MakeHr(0x8002801C);
constexpr HRESULT TYPE_E_LIBNOTREGISTERED = MakeHr(0x8002801D);
constexpr HRESULT TYPE_E_UNDEFINEDTYPE = MakeHr(0x80028027);
constexpr HRESULT TYPE_E_WRONGTYPEKIND = MakeHr(0x8002802A);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = MakeHr(0x8002802B);
constexpr HRESULT TYPE_E_AMBIGUOUSNAME = MakeHr(0x8002802C);
constexpr HRESULT TYPE_E_BADMODULEKIND = MakeHr(0x800288BD);
constexpr HRESULT TYPE_E_TYPEMISMATCH = MakeHr(0x80028CA0);
constexpr HRESULT TYPE_E_OUTOFBOUNDS = MakeHr(0x80028CA1);
constexpr HRESULT TYPE_E_IOERROR = MakeHr(0x80028CA2);
constexpr HRESULT TYPE_E_CANTLOADLIBRARY = MakeHr(0x80029C4A);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_VALUE = 0;
constexpr DISPID DISPID_PROPERTYPUT = -3;

constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_NEUTRAL = 0;

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }

constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr GUID IID_NULL = GUID_NULL;
constexpr IID IID_IUnknown{0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IClassFactory{0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IDispatch{0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_ITypeInfo{0x00020401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_ITypeLib{0x00020402, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IErrorInfo{
    0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
constexpr IID IID_ICreateErrorInfo{
    0x22F03340, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
constexpr IID IID_ISupportErrorInfo{
    0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

namespace zub::com {

// Registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::wstring GuidToString(REFGUID g);
// Accepts the registry form with or without braces, either case; false on
// anything else.
bool GuidFromString(std::wstring_view text, GUID* out);

// The standard text of a status code ("Member not found."), or a generic one
// naming its value.
std::wstring HResultText(HRESULT hr);
// "0x80020003" style.
std::wstring HResultHex(HRESULT hr);

}  // namespace zub::com

// COM-style spellings of the above, for code written against the real API.
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* out);  // free with CoTaskMemFree
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* out);
void* CoTaskMemAlloc(std::size_t size);
void CoTaskMemFree(void* p);
