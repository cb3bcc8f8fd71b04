// The class factory of one coclass: creates its wrapper, aggregated or not,
// and holds the module while locked.
#pragma once

#include <zub/com/interfaces.h>

#include <atomic>

namespace zub::vaultauto {

using CreateFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(CreateFn create) : create_(create) {}
    virtual ~ClassFactory() = default;
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    // Factories live as long as the module; references only count.
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return --refs_; }
    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override;
    HRESULT LockServer(int fLock) override;

private:
    CreateFn create_;
    std::atomic<ULONG> refs_{0};
};

}  // namespace zub::vaultauto
