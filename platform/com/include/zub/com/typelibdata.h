// The content of a binary (MSFT) type library, as read from untrusted bytes.
#pragma once

#include <zub/com/interfaces.h>

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace zub::com {

struct TypeDescData {
    VARTYPE vt = VT_EMPTY;
    std::shared_ptr<TypeDescData> pointee;  // VT_PTR, VT_SAFEARRAY
    HREFTYPE hreftype = 0;                  // VT_USERDEFINED
};

struct ParamData {
    std::wstring name;
    TypeDescData type;
    USHORT flags = 0;  // PARAMFLAG_*
};

struct FuncData {
    MEMBERID memid = 0;
    std::wstring name;
    std::wstring helpString;
    DWORD helpContext = 0;
    FUNCKIND funcKind = FUNC_PUREVIRTUAL;
    INVOKEKIND invKind = INVOKE_FUNC;
    CALLCONV callConv = CC_STDCALL;
    WORD funcFlags = 0;
    int slot = 0;  // vtable slot index, counted from QueryInterface
    TypeDescData returnType;
    std::vector<ParamData> params;
    int optionalParams = 0;
};

struct ImplTypeData {
    HREFTYPE hreftype = 0;
    int flags = 0;  // IMPLTYPEFLAG_*
};

struct TypeData {
    TYPEKIND kind = TKIND_INTERFACE;
    GUID guid = GUID_NULL;
    std::wstring name;
    std::wstring helpString;
    DWORD helpContext = 0;
    WORD flags = 0;  // TYPEFLAG_*
    WORD majorVersion = 0, minorVersion = 0;
    int vtableSlots = 0;  // including inherited ones
    std::uint32_t size = 0;
    int alignment = 0;
    std::vector<FuncData> funcs;
    std::vector<ImplTypeData> implTypes;  // base interface, or a coclass's interfaces
    TypeDescData aliasOf;                 // TKIND_ALIAS
};

// A type that lives in another library.
struct ImportData {
    GUID typeGuid = GUID_NULL;
    TYPEKIND kind = TKIND_INTERFACE;
    GUID libGuid = GUID_NULL;
    WORD libMajor = 0, libMinor = 0;
    LCID libLcid = 0;
    std::wstring libFile;
};

struct TypeLibData {
    GUID guid = GUID_NULL;
    LCID lcid = 0;
    SYSKIND sysKind = SYS_WIN32;
    WORD majorVersion = 0, minorVersion = 0;
    WORD libFlags = 0;
    std::wstring name;
    std::wstring helpString;
    std::wstring helpFile;
    DWORD helpContext = 0;
    std::vector<TypeData> types;

    // hreftype: a type of this library (its entry offset), or an import.
    bool IsImport(HREFTYPE h) const { return (h & 1) != 0; }
    const TypeData* LocalType(HREFTYPE h) const;
    const ImportData* Import(HREFTYPE h) const;

    std::vector<std::pair<HREFTYPE, ImportData>> imports;
};

class TypeLibFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws TypeLibFormatError on anything malformed; never reads out of bounds.
TypeLibData ReadTypeLib(std::span<const std::uint8_t> bytes);

// Local types are referred to by the offset of their entry.
constexpr HREFTYPE LocalHref(std::size_t index) { return static_cast<HREFTYPE>(index * 0x64); }

}  // namespace zub::com
