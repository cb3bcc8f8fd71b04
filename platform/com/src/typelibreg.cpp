#include <zub/com/automation.h>
#include <zub/com/comptr.h>
#include <zub/com/runtime.h>
#include <zub/com/typelib.h>

#include <zub/platform/registry.h>
#include <zub/text.h>

#include <cwchar>

namespace plat = zub::platform;
using zub::com::ComPtr;

namespace {

// Proxy of automation interfaces; registered for each dual interface.
constexpr const wchar_t* kOleAutomationProxy = L"{00020424-0000-0000-C000-000000000046}";

std::wstring Hex(unsigned v) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"%x", v);
    return buf;
}

std::wstring VersionKey(const GUID& lib, WORD major, WORD minor) {
    return L"TypeLib\\" + zub::com::GuidToString(lib) + L"\\" + Hex(major) + L"." + Hex(minor);
}

const wchar_t* SysName(SYSKIND k) {
    switch (k) {
        case SYS_WIN16:
            return L"win16";
        case SYS_WIN64:
            return L"win64";
        case SYS_MAC:
            return L"mac";
        default:
            return L"win32";
    }
}

plat::RegKey Hkcr() { return plat::RegKey(plat::RootKey::ClassesRoot); }

HRESULT SetDefault(const std::wstring& path, const std::wstring& text) {
    plat::RegKey key;
    plat::Error e = plat::RegCreateKey(Hkcr(), path, plat::kKeyWrite, key);
    if (e == 0) e = plat::RegSetString(key, L"", text);
    return e == 0 ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT SetNamed(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    plat::RegKey key;
    plat::Error e = plat::RegCreateKey(Hkcr(), path, plat::kKeyWrite, key);
    if (e == 0) e = plat::RegSetString(key, name, text);
    return e == 0 ? S_OK : TYPE_E_REGISTRYACCESS;
}

bool ReadDefault(const std::wstring& path, std::wstring& out) {
    plat::RegKey key;
    return plat::RegOpenKey(Hkcr(), path, plat::kKeyRead, key) == 0 &&
           plat::RegGetString(key, L"", out) == 0;
}

bool HasSubKeys(const std::wstring& path) {
    plat::RegKey key;
    plat::RegKeyInfo info;
    return plat::RegOpenKey(Hkcr(), path, plat::kKeyRead, key) == 0 &&
           plat::RegQueryInfoKey(key, info) == 0 && info.subKeys > 0;
}

bool IsAutomationInterface(const zub::com::TypeData& t) {
    return (t.kind == TKIND_INTERFACE || t.kind == TKIND_DISPATCH) &&
           (t.kind == TKIND_DISPATCH || (t.flags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)));
}

}  // namespace

HRESULT LoadRegTypeLib(REFGUID guid, WORD major, WORD minor, LCID lcid, ITypeLib** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    std::wstring libKey = L"TypeLib\\" + zub::com::GuidToString(guid);
    // The highest minor version of that major one, at least the one asked.
    std::wstring version;
    unsigned bestMinor = 0;
    {
        plat::RegKey key;
        if (plat::RegOpenKey(Hkcr(), libKey, plat::kKeyRead, key) != 0)
            return TYPE_E_LIBNOTREGISTERED;
        std::wstring name;
        for (std::uint32_t i = 0; plat::RegEnumKey(key, i, name) == 0; ++i) {
            unsigned ma = 0, mi = 0;
            if (std::swscanf(name.c_str(), L"%x.%x", &ma, &mi) != 2) continue;
            if (ma == major && mi >= minor && (version.empty() || mi > bestMinor)) {
                version = name;
                bestMinor = mi;
            }
        }
    }
    if (version.empty()) return TYPE_E_LIBNOTREGISTERED;
    std::wstring base = libKey + L"\\" + version + L"\\";
    std::wstring path;
    for (unsigned l : {unsigned{lcid}, unsigned{lcid & 0x3FF}, 0u})
        for (const wchar_t* sys : {L"win32", L"win64"})
            if (path.empty()) ReadDefault(base + Hex(l) + L"\\" + sys, path);
    if (path.empty()) return TYPE_E_LIBNOTREGISTERED;
    std::u16string u = zub::WideToUtf16(path);
    return LoadTypeLib(u.c_str(), out);
}

HRESULT RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR fullPath, LPCOLESTR helpDir) {
    if (!ptlib || !fullPath) return E_INVALIDARG;
    const zub::com::TypeLibData* lib = zub::com::TypeLibDataOf(ptlib);
    if (!lib) return E_INVALIDARG;
    std::wstring path = zub::Utf16ToWide(fullPath);
    std::wstring dir = helpDir ? zub::Utf16ToWide(helpDir) : std::wstring();
    if (!helpDir) {
        std::size_t sep = path.find_last_of(L"/\\");
        dir = sep == std::wstring::npos ? std::wstring() : path.substr(0, sep);
    }
    std::wstring libId = zub::com::GuidToString(lib->guid);
    std::wstring vkey = VersionKey(lib->guid, lib->majorVersion, lib->minorVersion);
    HRESULT hr = SetDefault(vkey, lib->helpString.empty() ? lib->name : lib->helpString);
    if (SUCCEEDED(hr))
        hr = SetDefault(vkey + L"\\" + Hex(lib->lcid) + L"\\" + SysName(lib->sysKind), path);
    if (SUCCEEDED(hr)) hr = SetDefault(vkey + L"\\FLAGS", std::to_wstring(lib->libFlags));
    if (SUCCEEDED(hr)) hr = SetDefault(vkey + L"\\HELPDIR", dir);
    std::wstring ver = Hex(lib->majorVersion) + L"." + Hex(lib->minorVersion);
    for (const zub::com::TypeData& t : lib->types) {
        if (FAILED(hr)) break;
        if (!IsAutomationInterface(t)) continue;
        std::wstring ikey = L"Interface\\" + zub::com::GuidToString(t.guid);
        hr = SetDefault(ikey, t.name);
        if (SUCCEEDED(hr)) hr = SetDefault(ikey + L"\\ProxyStubClsid", kOleAutomationProxy);
        if (SUCCEEDED(hr)) hr = SetDefault(ikey + L"\\ProxyStubClsid32", kOleAutomationProxy);
        if (SUCCEEDED(hr)) hr = SetDefault(ikey + L"\\TypeLib", libId);
        if (SUCCEEDED(hr)) hr = SetNamed(ikey + L"\\TypeLib", L"Version", ver);
    }
    return hr;
}

HRESULT UnRegisterTypeLib(REFGUID libId, WORD major, WORD minor, LCID lcid, SYSKIND syskind) {
    std::wstring vkey = VersionKey(libId, major, minor);
    std::wstring lkey = vkey + L"\\" + Hex(lcid);
    std::wstring path;
    if (!ReadDefault(lkey + L"\\" + SysName(syskind), path)) return TYPE_E_REGISTRYACCESS;
    // The interfaces come from the library itself, when it can still be read;
    // only those registered for this library are removed.
    ComPtr<ITypeLib> tl;
    std::u16string u = zub::WideToUtf16(path);
    std::wstring id = zub::com::GuidToString(libId);
    if (SUCCEEDED(LoadTypeLib(u.c_str(), tl.put())))
        if (const zub::com::TypeLibData* lib = zub::com::TypeLibDataOf(tl.get()))
            for (const zub::com::TypeData& t : lib->types) {
                if (!IsAutomationInterface(t)) continue;
                std::wstring ikey = L"Interface\\" + zub::com::GuidToString(t.guid);
                std::wstring owner;
                if (ReadDefault(ikey + L"\\TypeLib", owner) && owner == id &&
                    plat::RegDeleteTree(Hkcr(), ikey) != 0)
                    return TYPE_E_REGISTRYACCESS;
            }
    if (plat::RegDeleteTree(Hkcr(), lkey + L"\\" + SysName(syskind)) != 0)
        return TYPE_E_REGISTRYACCESS;
    if (!HasSubKeys(lkey)) plat::RegDeleteTree(Hkcr(), lkey);
    // The version goes when no other locale of it is left.
    bool otherLocale = false;
    {
        plat::RegKey key;
        std::wstring name;
        if (plat::RegOpenKey(Hkcr(), vkey, plat::kKeyRead, key) == 0)
            for (std::uint32_t i = 0; plat::RegEnumKey(key, i, name) == 0; ++i)
                if (name != L"FLAGS" && name != L"HELPDIR") otherLocale = true;
    }
    if (!otherLocale) plat::RegDeleteTree(Hkcr(), vkey);
    std::wstring libKey = L"TypeLib\\" + id;
    if (!HasSubKeys(libKey)) plat::RegDeleteTree(Hkcr(), libKey);
    return S_OK;
}
