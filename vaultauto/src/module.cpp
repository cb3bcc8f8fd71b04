#include "module.h"

#include <zub/com/comptr.h>
#include <zub/com/typelib.h>
#include <zub/platform/module.h>

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace zub::vaultauto {

namespace {

std::atomic<LONG> gLocks{0};

std::mutex gTypeLibMutex;
ITypeLib* gTypeLib = nullptr;  // loaded once, kept until the module unloads

struct TypeLibOwner {
    ~TypeLibOwner() {
        if (gTypeLib) gTypeLib->Release();
    }
} gTypeLibOwner;

std::mutex gLiveMutex;
std::unordered_map<const void*, const IID*>& Live() {
    static std::unordered_map<const void*, const IID*> live;
    return live;
}

thread_local MemberFault tLastFault;

}  // namespace

void ObjectCreated() { gLocks.fetch_add(1); }
void ObjectDestroyed() { gLocks.fetch_sub(1); }
void LockModule() { gLocks.fetch_add(1); }
void UnlockModule() { gLocks.fetch_sub(1); }
LONG ModuleLockCount() { return gLocks.load(); }

std::wstring ModulePath() {
    std::wstring path;
    zub::platform::ModulePathFromAddress(reinterpret_cast<const void*>(&ModulePath), path);
    return path;
}

HRESULT TypeInfoOf(REFIID iid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::lock_guard<std::mutex> lock(gTypeLibMutex);
    if (!gTypeLib) {
        std::span<const std::uint8_t> bytes;
        if (zub::platform::FindResourceOfAddress(reinterpret_cast<const void*>(&TypeInfoOf),
                                                 "TYPELIB", 1, bytes) != 0)
            return TYPE_E_CANTLOADLIBRARY;
        HRESULT hr = zub::com::LoadTypeLibFromMemory(bytes, &gTypeLib);
        if (FAILED(hr)) return hr;
    }
    return gTypeLib->GetTypeInfoOfGuid(iid, out);
}

void WrapperBorn(const void* itf, const IID& iid) {
    std::lock_guard<std::mutex> lock(gLiveMutex);
    Live()[itf] = &iid;
}

void WrapperDied(const void* itf) {
    std::lock_guard<std::mutex> lock(gLiveMutex);
    Live().erase(itf);
}

bool IsOurWrapper(const void* itf, const IID& iid) {
    std::lock_guard<std::mutex> lock(gLiveMutex);
    auto it = Live().find(itf);
    return it != Live().end() && *it->second == iid;
}

void RecordMemberFault(MemberFault fault) { tLastFault = std::move(fault); }
MemberFault LastMemberFault() { return tLastFault; }

}  // namespace zub::vaultauto
