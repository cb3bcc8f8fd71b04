// Apartments, class creation through the registry, and the registry helpers
// in-process servers use to register themselves.
#pragma once

#include <zub/com/interfaces.h>
#include <zub/com/registrar.h>

#include <cstdint>
#include <string>

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_ALL = 0x17;

// Counted per thread: the first call S_OK, later ones S_FALSE, another
// threading model RPC_E_CHANGED_MODE; each success needs one CoUninitialize.
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();

// HKCR\ProgID\CLSID; a ProgID with a CurVer key stands for the ProgID that
// CurVer names. Unknown: CO_E_CLASSSTRING.
HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId);  // free with CoTaskMemFree

// Loads the server named by HKCR\CLSID\{clsid}\InprocServer32 (once per
// process) and asks its DllGetClassObject.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void* reserved, REFIID riid, void** ppv);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv);
// Unloads every loaded server whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();

// The entry points of an in-process server.
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

constexpr HRESULT HResultFromWin32(std::uint32_t e) {
    return e == 0 ? S_OK : MakeHr(0x80070000u | (e & 0xFFFFu));
}

namespace zub::com {

// Servers loaded now (tests watch unloading through it).
std::size_t LoadedServerCount();

// Registrar target over the registry of the platform layer.
class RegistryTarget final : public RegistrarTarget {
public:
    HRESULT CreateKey(std::wstring_view root, std::wstring_view path) override;
    bool KeyExists(std::wstring_view root, std::wstring_view path) override;
    bool HasSubKeys(std::wstring_view root, std::wstring_view path) override;
    HRESULT SetString(std::wstring_view root, std::wstring_view path, std::wstring_view name,
                      std::wstring_view value) override;
    HRESULT SetDword(std::wstring_view root, std::wstring_view path, std::wstring_view name,
                     std::uint32_t value) override;
    HRESULT SetBinary(std::wstring_view root, std::wstring_view path, std::wstring_view name,
                      const std::vector<std::uint8_t>& value) override;
    HRESULT DeleteTree(std::wstring_view root, std::wstring_view path) override;
    HRESULT DeleteValue(std::wstring_view root, std::wstring_view path,
                        std::wstring_view name) override;
};

// Runs the "REGISTRY" resource `id` of the module that contains `address`
// against the registry.
HRESULT RunRegistrarResource(const void* address, std::uint32_t id,
                             const Replacements& replacements, bool registering);

// Full path of the module that contains `address` (the server's %MODULE%).
std::wstring ModulePathOf(const void* address);

}  // namespace zub::com
