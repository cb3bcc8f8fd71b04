// The four exported entry points of the in-process server.
#include <zub/com/runtime.h>
#include <zub/com/typelib.h>
#include <zub/platform/folders.h>
#include <zub/text.h>

#include <array>
#include <memory>
#include <mutex>

#include "classfactory.h"
#include "cobaseline.h"
#include "cobaselines.h"
#include "codoc.h"
#include "codochistory.h"
#include "codochistorys.h"
#include "codocrepo.h"
#include "codocrepoauth.h"
#include "codocrepoauths.h"
#include "codocrepos.h"
#include "codocs.h"
#include "coversionstra.h"
#include "module.h"

#define VAULTAUTO_EXPORT extern "C" __attribute__((visibility("default")))

namespace zub::vaultauto {
namespace {

struct ClassEntry {
    const CLSID& clsid;
    CreateFn create;
    std::uint32_t script;
};

// The server's class list: registration order and the order of the search
// for a class factory.
const std::array<ClassEntry, 11> kClassList{{
    {CLSID_CoBaseLine, &CreateComObject<CCoBaseLine>, 109},
    {CLSID_CoBaseLines, &CreateComObject<CCoBaseLines>, 110},
    {CLSID_CoDoc, &CreateComObject<CCoDoc>, 107},
    {CLSID_CoDocHistory, &CreateComObject<CCoDocHistory>, 111},
    {CLSID_CoDocHistorys, &CreateComObject<CCoDocHistorys>, 113},
    {CLSID_CoVersionStra, &CreateComObject<CCoVersionStra>, 104},
    {CLSID_CoDocRepo, &CreateComObject<CCoDocRepo>, 102},
    {CLSID_CoDocRepoAuth, &CreateComObject<CCoDocRepoAuth>, 105},
    {CLSID_CoDocRepoAuths, &CreateComObject<CCoDocRepoAuths>, 106},
    {CLSID_CoDocRepos, &CreateComObject<CCoDocRepos>, 103},
    {CLSID_CoDocs, &CreateComObject<CCoDocs>, 108},
}};

constexpr std::uint32_t kAppIdScript = 101;
constexpr const wchar_t* kAppId = L"{CB663127-EE17-44B5-A76B-8E4B49A6785D}";
constexpr LCID kLibraryLcid = 0x0409;

std::mutex gFactoryMutex;
std::array<std::unique_ptr<ClassFactory>, 11> gFactories;

// The thread locale is the system default's while the scripts run.
class SystemLocaleScope {
public:
    SystemLocaleScope() : saved_(zub::platform::GetThreadLocale()) {
        zub::platform::SetThreadLocale(zub::platform::kLocaleSystemDefault);
    }
    ~SystemLocaleScope() { zub::platform::SetThreadLocale(saved_); }
    SystemLocaleScope(const SystemLocaleScope&) = delete;
    SystemLocaleScope& operator=(const SystemLocaleScope&) = delete;

private:
    zub::platform::Lcid saved_;
};

const void* Anchor() { return reinterpret_cast<const void*>(&Anchor); }

zub::com::Replacements ScriptReplacements() {
    return {{L"MODULE", ModulePath()}, {L"APPID", kAppId}};
}

HRESULT RegisterTypeLibrary() {
    std::u16string path = zub::WideToUtf16(ModulePath());
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLib(path.c_str(), &lib);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(lib, path.c_str(), nullptr);
    lib->Release();
    return hr;
}

HRESULT Register() {
    SystemLocaleScope locale;
    const zub::com::Replacements replacements = ScriptReplacements();
    HRESULT hr = zub::com::RunRegistrarResource(Anchor(), kAppIdScript, replacements, true);
    for (const ClassEntry& entry : kClassList) {
        if (FAILED(hr)) break;
        hr = zub::com::RunRegistrarResource(Anchor(), entry.script, replacements, true);
    }
    if (SUCCEEDED(hr)) hr = RegisterTypeLibrary();
    return hr;
}

HRESULT Unregister() {
    SystemLocaleScope locale;
    const zub::com::Replacements replacements = ScriptReplacements();
    HRESULT hr = S_OK;
    for (const ClassEntry& entry : kClassList) {
        hr = zub::com::RunRegistrarResource(Anchor(), entry.script, replacements, false);
        if (FAILED(hr)) return hr;
    }
    hr = UnRegisterTypeLib(LIBID_CoVaultDm, 1, 0, kLibraryLcid, SYS_WIN32);
    if (FAILED(hr)) return hr;
    return zub::com::RunRegistrarResource(Anchor(), kAppIdScript, replacements, false);
}

}  // namespace
}  // namespace zub::vaultauto

VAULTAUTO_EXPORT HRESULT DllRegisterServer() {
    try {
        return zub::vaultauto::Register();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

VAULTAUTO_EXPORT HRESULT DllUnregisterServer() {
    try {
        return zub::vaultauto::Unregister();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

VAULTAUTO_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    using namespace zub::vaultauto;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (std::size_t i = 0; i < kClassList.size(); ++i) {
        if (!(kClassList[i].clsid == rclsid)) continue;
        try {
            std::lock_guard<std::mutex> lock(gFactoryMutex);
            if (!gFactories[i])
                gFactories[i] = std::make_unique<ClassFactory>(kClassList[i].create);
            return gFactories[i]->QueryInterface(riid, ppv);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

VAULTAUTO_EXPORT HRESULT DllCanUnloadNow() {
    return zub::vaultauto::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}
