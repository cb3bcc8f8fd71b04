// The in-process server of the tests: one class, its factory, its registrar
// script and type library carried as resources, and the four entry points.
#include "calcobject.h"

#include <zub/com/runtime.h>
#include <zub/text.h>

#include <atomic>

namespace {

std::atomic<long> g_locks{0};

void Unlock() { --g_locks; }

HRESULT CalcTypeInfo(ITypeInfo** out) {
    static zub::com::ComPtr<ITypeInfo> cached;
    if (!cached) {
        HRESULT hr = zub::com::TypeInfoOfModule(&g_locks, IID_IZubCalc, cached.put());
        if (FAILED(hr)) return hr;
    }
    cached->AddRef();
    *out = cached.get();
    return S_OK;
}

class Factory final : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the module; references only keep the module loaded.
    ULONG AddRef() override { return static_cast<ULONG>(++g_locks); }
    ULONG Release() override { return static_cast<ULONG>(--g_locks); }
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        zub::com::ComPtr<ITypeInfo> info;
        HRESULT hr = CalcTypeInfo(info.put());
        if (FAILED(hr)) return hr;
        ++g_locks;
        auto* obj = new CalcObject(info.get(), &Unlock);
        hr = obj->QueryInterface(riid, ppv);
        obj->Release();
        return hr;
    }
    HRESULT LockServer(int lock) override {
        if (lock)
            ++g_locks;
        else
            --g_locks;
        return S_OK;
    }
};

Factory g_factory;

const GUID& kLib = LIBID_ZubTestLib;

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID riid,
                                                                            void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(clsid == CLSID_ZubCalc)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return g_locks == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    std::wstring module = zub::com::ModulePathOf(&g_locks);
    HRESULT hr = zub::com::RunRegistrarResource(&g_locks, 101, {{L"MODULE", module}}, true);
    if (FAILED(hr)) return hr;
    std::u16string path = zub::WideToUtf16(module);
    zub::com::ComPtr<ITypeLib> lib;
    if (FAILED(hr = LoadTypeLib(path.c_str(), lib.put()))) return hr;
    return RegisterTypeLib(lib.get(), path.c_str(), nullptr);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    std::wstring module = zub::com::ModulePathOf(&g_locks);
    HRESULT hr = zub::com::RunRegistrarResource(&g_locks, 101, {{L"MODULE", module}}, false);
    if (FAILED(hr)) return hr;
    return UnRegisterTypeLib(kLib, 1, 0, 0x409, SYS_WIN32);
}
