#include "calcobject.h"

HRESULT CalcObject::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IZubCalc) {
        *ppv = static_cast<IZubCalc*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CalcObject::Release() {
    ULONG n = --refs_;
    if (n == 0) {
        auto done = onDestroy_;
        delete this;
        if (done) done();
    }
    return n;
}

HRESULT CalcObject::GetTypeInfoCount(UINT* n) {
    if (!n) return E_POINTER;
    *n = 1;
    return S_OK;
}

HRESULT CalcObject::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
    if (!out) return E_POINTER;
    if (index != 0) return DISP_E_BADINDEX;
    info_->AddRef();
    *out = info_.get();
    return S_OK;
}

HRESULT CalcObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return DispGetIDsOfNames(info_.get(), names, count, ids);
}

HRESULT CalcObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excep, UINT* argErr) {
    return DispInvoke(static_cast<IZubCalc*>(this), info_.get(), id, flags, params, result, excep,
                      argErr);
}

HRESULT CalcObject::get_name(BSTR* pVal) {
    *pVal = zub::com::MakeBstr(std::u16string_view(name_));
    return S_OK;
}
HRESULT CalcObject::put_name(BSTR v) {
    name_ = std::u16string(zub::com::BstrView(v));
    return S_OK;
}
HRESULT CalcObject::get_Count(SHORT* pVal) {
    *pVal = count_;
    return S_OK;
}
HRESULT CalcObject::put_Count(SHORT v) {
    count_ = v;
    return S_OK;
}
HRESULT CalcObject::Add(LONG a, SHORT b, LONG* ret) {
    *ret = a + b;
    return S_OK;
}
HRESULT CalcObject::Stamp(DATE when, BSTR* text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DATE;
    v.date = when;
    *text = zub::com::MakeBstr(zub::com::VariantText(v));
    return S_OK;
}
HRESULT CalcObject::Fail(LONG code) {
    return zub::com::ReportError(MakeHr(0x80040000u | static_cast<std::uint32_t>(code)),
                                 L"failed with " + std::to_wstring(code), L"ZubTest.ZubCalc.1");
}
HRESULT CalcObject::Self(IZubCalc** me) {
    AddRef();
    *me = this;
    return S_OK;
}
HRESULT CalcObject::get_When(DATE* pVal) {
    *pVal = when_;
    return S_OK;
}
HRESULT CalcObject::put_When(DATE v) {
    when_ = v;
    return S_OK;
}
HRESULT CalcObject::Concat(BSTR a, BSTR b, BSTR* ret) {
    std::u16string s(zub::com::BstrView(a));
    s += zub::com::BstrView(b);
    *ret = zub::com::MakeBstr(std::u16string_view(s));
    return S_OK;
}
HRESULT CalcObject::save() {
    ++saves;
    return S_OK;
}
HRESULT CalcObject::Take(IZubCalc* other, LONG* ret) {
    if (!other) return E_POINTER;
    SHORT c = 0;
    other->get_Count(&c);
    *ret = c;
    return S_OK;
}
HRESULT CalcObject::Names(IDispatch* any, LONG* count) {
    if (!any) return E_POINTER;
    UINT n = 0;
    HRESULT hr = any->GetTypeInfoCount(&n);
    *count = static_cast<LONG>(n);
    return hr;
}
