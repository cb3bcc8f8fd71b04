// IUnknown and IDispatch of every wrapper: reference counting, aggregation
// (a non-delegating inner unknown), QueryInterface for IUnknown, IDispatch and
// the object's own interface only, and late binding through the type library.
#pragma once

#include <zub/com/typelib.h>

#include "module.h"

namespace zub::vaultauto {

template <class Itf>
class ComObject : public Itf {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    // The non-delegating unknown: what an aggregating outer object holds.
    IUnknown* Inner() { return &inner_; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        return outer_->QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return outer_->AddRef(); }
    ULONG Release() override { return outer_->Release(); }

    HRESULT GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) override {
        if (!ppTInfo) return E_POINTER;
        *ppTInfo = nullptr;
        if (iTInfo != 0) return DISP_E_BADINDEX;
        return TypeInfoOf(iid_, ppTInfo);
    }
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID,
                          DISPID* rgDispId) override {
        if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* ti = nullptr;
        HRESULT hr = TypeInfoOf(iid_, &ti);
        if (FAILED(hr)) return hr;
        hr = DispGetIDsOfNames(ti, rgszNames, cNames, rgDispId);
        ti->Release();
        return hr;
    }
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        if (!(riid == IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* ti = nullptr;
        HRESULT hr = TypeInfoOf(iid_, &ti);
        if (FAILED(hr)) return hr;
        hr = DispInvoke(static_cast<Itf*>(this), ti, dispIdMember, wFlags, pDispParams, pVarResult,
                        pExcepInfo, puArgErr);
        ti->Release();
        return hr;
    }

protected:
    // outer: the controlling unknown when aggregated, else null.
    ComObject(IUnknown* outer, const IID& iid) : iid_(iid) {
        inner_.self = this;
        outer_ = outer ? outer : &inner_;
        ObjectCreated();
        WrapperBorn(static_cast<Itf*>(this), iid_);
    }
    virtual ~ComObject() {
        WrapperDied(static_cast<Itf*>(this));
        ObjectDestroyed();
    }

private:
    struct InnerUnknown final : IUnknown {
        virtual ~InnerUnknown() = default;
        HRESULT QueryInterface(REFIID riid, void** ppv) override {
            if (!ppv) return E_POINTER;
            *ppv = nullptr;
            if (riid == IID_IUnknown) {
                *ppv = static_cast<IUnknown*>(this);
                AddRef();
                return S_OK;
            }
            if (!(riid == IID_IDispatch) && !(riid == self->iid_)) return E_NOINTERFACE;
            // Counted through the interface, so on the outer object when aggregated.
            Itf* itf = static_cast<Itf*>(self);
            itf->AddRef();
            *ppv = itf;
            return S_OK;
        }
        ULONG AddRef() override { return ++refs; }
        ULONG Release() override {
            ULONG left = --refs;
            if (left == 0) delete self;
            return left;
        }
        ComObject* self = nullptr;
        ULONG refs = 0;
    };

    const IID& iid_;
    InnerUnknown inner_;
    IUnknown* outer_ = nullptr;
};

// Makes a T (not aggregated unless outer is given) and hands out `riid`;
// the creation reference is dropped, so a failed QueryInterface frees it.
template <class T>
HRESULT CreateComObject(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && !(riid == IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    T* obj = new T(outer);
    IUnknown* inner = obj->Inner();
    inner->AddRef();
    HRESULT hr = inner->QueryInterface(riid, ppv);
    inner->Release();
    return hr;
}

}  // namespace zub::vaultauto
