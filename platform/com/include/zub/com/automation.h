// BSTR, VARIANT, DATE and error-information records.
#pragma once

#include <zub/com/interfaces.h>

#include <string>
#include <string_view>

// BSTR: a 32-bit byte count stored just before the characters, then the
// characters and a terminating zero. Embedded zeros are allowed.
BSTR SysAllocString(LPCOLESTR psz);
BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch);  // pch may be null: zeroed text
int SysReAllocStringLen(BSTR* pbstr, const OLECHAR* pch, UINT cch);
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);
void SysFreeString(BSTR bstr);

void VariantInit(VARIANTARG* pvarg);
HRESULT VariantClear(VARIANTARG* pvarg);
HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// Copies, following one level of VT_BYREF into a value.
HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
constexpr USHORT VARIANT_NOVALUEPROP = 0x1;
HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags,
                          VARTYPE vt);

// OLE automation dates: days since 1899-12-30, the fraction the time of day
// whatever the sign of the day count.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
int SystemTimeToVariantTime(const SYSTEMTIME* st, DATE* pvtime);  // 0 on a bad date
int VariantTimeToSystemTime(DATE vtime, SYSTEMTIME* st);

// Error information of the calling thread: a get hands the record over and
// clears it.
HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo);
HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

namespace zub::com {

// A BSTR from UTF-16 or wide text; the caller owns it.
BSTR MakeBstr(std::u16string_view text);
BSTR MakeBstr(std::wstring_view text);
std::u16string_view BstrView(BSTR b);  // null is empty
std::wstring BstrToWide(BSTR b);

// Text of a value as VariantChangeType to VT_BSTR gives it; "" for values
// that have none.
std::wstring VariantText(const VARIANT& v);

// Posts an error record (description, source, interface) on this thread and
// returns hr, the usual tail of a failing member.
HRESULT ReportError(HRESULT hr, std::wstring_view description, std::wstring_view source,
                    REFGUID iid = GUID_NULL);

// Owns one VARIANT; clears it on destruction.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* operator&() { return &v_; }
    VARIANT& get() { return v_; }
    const VARIANT& get() const { return v_; }

private:
    VARIANT v_;
};

// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(BSTR owned) : b_(owned) {}
    explicit Bstr(std::wstring_view text) : b_(MakeBstr(text)) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : b_(o.b_) { o.b_ = nullptr; }
    Bstr& operator=(Bstr&& o) noexcept {
        if (this != &o) {
            SysFreeString(b_);
            b_ = o.b_;
            o.b_ = nullptr;
        }
        return *this;
    }
    BSTR get() const { return b_; }
    BSTR* out() {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    BSTR release() {
        BSTR b = b_;
        b_ = nullptr;
        return b;
    }
    std::wstring wide() const { return BstrToWide(b_); }

private:
    BSTR b_ = nullptr;
};

}  // namespace zub::com
