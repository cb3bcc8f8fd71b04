#include <zub/com/automation.h>
#include <zub/com/runtime.h>

#include <zub/platform/module.h>
#include <zub/platform/registry.h>
#include <zub/text.h>

#include <map>
#include <mutex>

namespace pf = zub::platform;

namespace {

struct Apartment {
    int count = 0;
    DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment t_apartment;

struct Server {
    pf::Library library;
    DllGetClassObjectFn getClassObject = nullptr;
    DllCanUnloadNowFn canUnloadNow = nullptr;
};

// Servers stay loaded until CoFreeUnusedLibraries finds them idle.
std::mutex g_serversMutex;
std::map<std::wstring, Server>& Servers() {
    static auto* servers = new std::map<std::wstring, Server>();  // outlives static destruction
    return *servers;
}

std::wstring Wide(LPCOLESTR s) { return s ? zub::Utf16ToWide(s) : std::wstring(); }

bool ReadDefault(const std::wstring& path, std::wstring& out) {
    pf::RegKey key;
    if (pf::RegOpenKey(pf::RegKey(pf::RootKey::ClassesRoot), path, pf::kKeyRead, key) != 0)
        return false;
    return pf::RegGetString(key, L"", out) == 0;
}

HRESULT LoadServer(const std::wstring& path, Server** out) {
    std::lock_guard lock(g_serversMutex);
    auto& servers = Servers();
    auto it = servers.find(path);
    if (it == servers.end()) {
        Server s;
        pf::Error e = pf::LoadLibrary(path, s.library);
        if (e != 0) return e == pf::kErrorModNotFound ? CO_E_DLLNOTFOUND : HResultFromWin32(e);
        void* fn = nullptr;
        if (pf::GetProcAddress(s.library.Handle(), "DllGetClassObject", fn) != 0)
            return CO_E_ERRORINDLL;
        s.getClassObject = reinterpret_cast<DllGetClassObjectFn>(fn);
        if (pf::GetProcAddress(s.library.Handle(), "DllCanUnloadNow", fn) == 0)
            s.canUnloadNow = reinterpret_cast<DllCanUnloadNowFn>(fn);
        it = servers.emplace(path, std::move(s)).first;
    }
    *out = &it->second;
    return S_OK;
}

}  // namespace

HRESULT CoInitializeEx(void*, DWORD coInit) {
    DWORD model = coInit & COINIT_APARTMENTTHREADED;
    if (t_apartment.count > 0) {
        if (t_apartment.model != model) return RPC_E_CHANGED_MODE;
        ++t_apartment.count;
        return S_FALSE;
    }
    t_apartment.model = model;
    t_apartment.count = 1;
    return S_OK;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
    if (t_apartment.count > 0) --t_apartment.count;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
    if (!progId || !clsid) return E_INVALIDARG;
    std::wstring name = Wide(progId);
    if (name.empty()) return CO_E_CLASSSTRING;
    std::wstring text;
    // The CurVer rule: a version-independent ProgID resolves through the
    // current version's own CLSID when that one is registered.
    std::wstring curVer;
    if (ReadDefault(name + L"\\CurVer", curVer) && !curVer.empty() &&
        ReadDefault(curVer + L"\\CLSID", text) && zub::com::GuidFromString(text, clsid))
        return S_OK;
    if (ReadDefault(name + L"\\CLSID", text) && zub::com::GuidFromString(text, clsid)) return S_OK;
    return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* progId) {
    if (!progId) return E_INVALIDARG;
    *progId = nullptr;
    std::wstring text;
    if (!ReadDefault(L"CLSID\\" + zub::com::GuidToString(clsid) + L"\\ProgID", text))
        return REGDB_E_CLASSNOTREG;
    std::u16string u = zub::WideToUtf16(text);
    auto* p = static_cast<OLECHAR*>(CoTaskMemAlloc((u.size() + 1) * sizeof(OLECHAR)));
    if (!p) return E_OUTOFMEMORY;
    std::copy(u.begin(), u.end(), p);
    p[u.size()] = 0;
    *progId = p;
    return S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsContext, void*, REFIID riid, void** ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (t_apartment.count == 0) return CO_E_NOTINITIALIZED;
    if (!(clsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    std::wstring path;
    if (!ReadDefault(L"CLSID\\" + zub::com::GuidToString(clsid) + L"\\InprocServer32", path) ||
        path.empty())
        return REGDB_E_CLASSNOTREG;
    Server* server = nullptr;
    HRESULT hr = LoadServer(path, &server);
    if (FAILED(hr)) return hr;
    return server->getClassObject(clsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid,
                         void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && !(riid == IID_IUnknown)) return E_INVALIDARG;  // aggregation hands out IUnknown
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, clsContext, nullptr, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(outer, riid, ppv);
    factory->Release();
    return hr;
}

void CoFreeUnusedLibraries() {
    std::lock_guard lock(g_serversMutex);
    auto& servers = Servers();
    for (auto it = servers.begin(); it != servers.end();) {
        if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK)
            it = servers.erase(it);
        else
            ++it;
    }
}

namespace zub::com {

std::size_t LoadedServerCount() {
    std::lock_guard lock(g_serversMutex);
    return Servers().size();
}

}  // namespace zub::com
