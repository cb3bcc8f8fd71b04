// A late-bound client: members named as a script names them, arguments as
// VARIANTs, calls through IDispatch::Invoke.
#pragma once

#include <zub/com/automation.h>
#include <zub/com/comptr.h>
#include <zub/text.h>

#include <string>
#include <utility>
#include <vector>

namespace zub::vaultauto::test {

// One argument value.
class Arg {
public:
    // Implicit, so that argument lists read as a script writes them.
    Arg(int v) {
        v_.get().vt = VT_I4;
        v_.get().lVal = v;
    }
    Arg(double v) {
        v_.get().vt = VT_R8;
        v_.get().dblVal = v;
    }
    Arg(const wchar_t* text) { SetText(text); }
    Arg(const std::wstring& text) { SetText(text); }
    Arg(IDispatch* d) {
        v_.get().vt = VT_DISPATCH;
        v_.get().pdispVal = d;
        if (d) d->AddRef();
    }
    Arg(const Arg& o) { VariantCopy(&v_.get(), &o.v_.get()); }
    Arg& operator=(const Arg&) = delete;
    const VARIANT& get() const { return v_.get(); }

private:
    void SetText(std::wstring_view text) {
        v_.get().vt = VT_BSTR;
        v_.get().bstrVal = zub::com::MakeBstr(text);
    }
    zub::com::Variant v_;
};

struct CallResult {
    HRESULT hr = E_FAIL;
    VARIANT value{};
    ~CallResult() { VariantClear(&value); }
    CallResult() { VariantInit(&value); }
    CallResult(const CallResult&) = delete;
    CallResult& operator=(const CallResult&) = delete;

    LONG Long() const {
        VARIANT v;
        VariantInit(&v);
        if (VariantChangeType(&v, &value, 0, VT_I4) != S_OK) return -999999;
        return v.lVal;
    }
    std::wstring Text() const { return zub::com::VariantText(value); }
    double Date() const { return value.vt == VT_DATE ? value.date : -1; }
    zub::com::ComPtr<IDispatch> Object() const {
        if (value.vt != VT_DISPATCH) return {};
        return zub::com::ComPtr<IDispatch>(value.pdispVal);
    }
};

class DispatchClient {
public:
    DispatchClient() = default;
    explicit DispatchClient(zub::com::ComPtr<IDispatch> d) : d_(std::move(d)) {}
    IDispatch* get() const { return d_.get(); }
    explicit operator bool() const { return static_cast<bool>(d_); }

    HRESULT IdOf(const std::wstring& name, DISPID* id) const {
        std::u16string n = zub::WideToUtf16(name);
        LPOLESTR names[] = {n.data()};
        return d_->GetIDsOfNames(IID_NULL, names, 1, 0x0409, id);
    }
    // A method call or a property get; excep null leaves a failing member's
    // error record on the thread.
    void Call(CallResult& out, const std::wstring& name, std::vector<Arg> args = {},
              WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET,
              EXCEPINFO* excep = nullptr) const {
        DISPID id = 0;
        out.hr = IdOf(name, &id);
        if (FAILED(out.hr)) return;
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->get());
        DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        VariantClear(&out.value);
        UINT argErr = 0;
        out.hr = d_->Invoke(id, IID_NULL, 0x0409, flags, &params, &out.value, excep, &argErr);
    }
    HRESULT Put(const std::wstring& name, const Arg& value) const {
        DISPID id = 0;
        HRESULT hr = IdOf(name, &id);
        if (FAILED(hr)) return hr;
        VARIANT arg = value.get();
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&arg, &named, 1, 1};
        UINT argErr = 0;
        return d_->Invoke(id, IID_NULL, 0x0409, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                          &argErr);
    }
    // Conveniences that expect success.
    LONG Long(const std::wstring& name, std::vector<Arg> args = {}) const {
        CallResult r;
        Call(r, name, std::move(args));
        return SUCCEEDED(r.hr) ? r.Long() : -999999;
    }
    std::wstring Text(const std::wstring& name) const {
        CallResult r;
        Call(r, name);
        return r.Text();
    }

private:
    zub::com::ComPtr<IDispatch> d_;
};

}  // namespace zub::vaultauto::test
