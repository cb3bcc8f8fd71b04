// The test server's object: IZubCalc as the IDL declares it, with IDispatch
// answered through DispInvoke over the type information it is given.
#pragma once

#include <zub/com/automation.h>
#include <zub/com/comptr.h>
#include <zub/com/typelib.h>

#include <atomic>
#include <string>

constexpr IID IID_IZubCalc{
    0x5C1D7E8A, 0x3B2F, 0x4A61, {0x9E, 0x0D, 0x7F, 0x4B, 0x2C, 0x6A, 0x1D, 0x01}};
constexpr CLSID CLSID_ZubCalc{
    0x5C1D7E8A, 0x3B2F, 0x4A61, {0x9E, 0x0D, 0x7F, 0x4B, 0x2C, 0x6A, 0x1D, 0x02}};
constexpr GUID LIBID_ZubTestLib{
    0x5C1D7E8A, 0x3B2F, 0x4A61, {0x9E, 0x0D, 0x7F, 0x4B, 0x2C, 0x6A, 0x1D, 0x00}};

struct IZubCalc : IDispatch {
    virtual HRESULT get_name(BSTR* pVal) = 0;
    virtual HRESULT put_name(BSTR newVal) = 0;
    virtual HRESULT get_Count(SHORT* pVal) = 0;
    virtual HRESULT put_Count(SHORT newVal) = 0;
    virtual HRESULT Add(LONG a, SHORT b, LONG* ret) = 0;
    virtual HRESULT Stamp(DATE when, BSTR* text) = 0;
    virtual HRESULT Fail(LONG code) = 0;
    virtual HRESULT Self(IZubCalc** me) = 0;
    virtual HRESULT get_When(DATE* pVal) = 0;
    virtual HRESULT put_When(DATE newVal) = 0;
    virtual HRESULT Concat(BSTR a, BSTR b, BSTR* ret) = 0;
    virtual HRESULT save() = 0;
    virtual HRESULT Take(IZubCalc* other, LONG* ret) = 0;
    virtual HRESULT Names(IDispatch* any, LONG* count) = 0;

protected:
    ~IZubCalc() = default;
};

class CalcObject final : public IZubCalc {
public:
    // `onDestroy` runs when the last reference goes (the server's lock count).
    CalcObject(ITypeInfo* info, void (*onDestroy)() = nullptr)
        : info_(info), onDestroy_(onDestroy) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    HRESULT GetTypeInfoCount(UINT* n) override;
    HRESULT GetTypeInfo(UINT index, LCID, ITypeInfo** out) override;
    HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, UINT* argErr) override;

    HRESULT get_name(BSTR* pVal) override;
    HRESULT put_name(BSTR newVal) override;
    HRESULT get_Count(SHORT* pVal) override;
    HRESULT put_Count(SHORT newVal) override;
    HRESULT Add(LONG a, SHORT b, LONG* ret) override;
    HRESULT Stamp(DATE when, BSTR* text) override;
    HRESULT Fail(LONG code) override;
    HRESULT Self(IZubCalc** me) override;
    HRESULT get_When(DATE* pVal) override;
    HRESULT put_When(DATE newVal) override;
    HRESULT Concat(BSTR a, BSTR b, BSTR* ret) override;
    HRESULT save() override;
    HRESULT Take(IZubCalc* other, LONG* ret) override;
    HRESULT Names(IDispatch* any, LONG* count) override;

    int saves = 0;

private:
    ~CalcObject() = default;

    std::atomic<ULONG> refs_{1};
    zub::com::ComPtr<ITypeInfo> info_;
    void (*onDestroy_)();
    std::u16string name_;
    SHORT count_ = 0;
    DATE when_ = 0;
};
