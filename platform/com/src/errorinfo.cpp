#include <zub/com/automation.h>
#include <zub/com/comptr.h>

#include <atomic>
#include <new>

namespace {

class ErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IErrorInfo)
            *ppv = static_cast<IErrorInfo*>(this);
        else if (riid == IID_ICreateErrorInfo)
            *ppv = static_cast<ICreateErrorInfo*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    HRESULT GetGUID(GUID* g) override {
        if (!g) return E_INVALIDARG;
        *g = guid_;
        return S_OK;
    }
    HRESULT GetSource(BSTR* b) override { return Out(source_, b); }
    HRESULT GetDescription(BSTR* b) override { return Out(description_, b); }
    HRESULT GetHelpFile(BSTR* b) override { return Out(helpFile_, b); }
    HRESULT GetHelpContext(DWORD* c) override {
        if (!c) return E_INVALIDARG;
        *c = helpContext_;
        return S_OK;
    }

    HRESULT SetGUID(REFGUID g) override {
        guid_ = g;
        return S_OK;
    }
    HRESULT SetSource(LPOLESTR s) override { return In(s, &source_); }
    HRESULT SetDescription(LPOLESTR s) override { return In(s, &description_); }
    HRESULT SetHelpFile(LPOLESTR s) override { return In(s, &helpFile_); }
    HRESULT SetHelpContext(DWORD c) override {
        helpContext_ = c;
        return S_OK;
    }

private:
    ~ErrorInfo() = default;

    static HRESULT Out(const std::u16string& s, BSTR* b) {
        if (!b) return E_INVALIDARG;
        *b = zub::com::MakeBstr(std::u16string_view(s));
        return *b ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT In(LPOLESTR s, std::u16string* to) {
        *to = s ? std::u16string(s) : std::u16string();
        return S_OK;
    }

    std::atomic<ULONG> refs_{1};
    GUID guid_ = GUID_NULL;
    std::u16string source_, description_, helpFile_;
    DWORD helpContext_ = 0;
};

// Released when the thread ends.
thread_local zub::com::ComPtr<IErrorInfo> t_errorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
    if (!out) return E_INVALIDARG;
    auto* info = new (std::nothrow) ErrorInfo();
    if (!info) return *out = nullptr, E_OUTOFMEMORY;
    *out = info;
    return S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
    t_errorInfo = zub::com::ComPtr<IErrorInfo>(info);
    return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** out) {
    if (!out) return E_INVALIDARG;
    *out = t_errorInfo.detach();
    return *out ? S_OK : S_FALSE;
}

namespace zub::com {

HRESULT ReportError(HRESULT hr, std::wstring_view description, std::wstring_view source,
                    REFGUID iid) {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return hr;
    Bstr desc(description), src(source);
    create->SetGUID(iid);
    create->SetDescription(desc.get());
    create->SetSource(src.get());
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(IID_IErrorInfo, &info))) SetErrorInfo(0, info.get());
    return hr;
}

}  // namespace zub::com
