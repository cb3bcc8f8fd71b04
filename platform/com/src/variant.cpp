#include <zub/com/automation.h>

#include <zub/oledate.h>
#include <zub/text.h>

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <limits>

namespace {

bool IsKnownScalar(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_ERROR:
        case VT_BOOL:
        case VT_UNKNOWN:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

bool IsValidType(VARTYPE vt) {
    if (vt & VT_BYREF) {
        VARTYPE base = static_cast<VARTYPE>(vt & ~VT_BYREF);
        return base == VT_VARIANT || (IsKnownScalar(base) && base != VT_EMPTY && base != VT_NULL);
    }
    return IsKnownScalar(vt);
}

std::wstring Trim(std::wstring_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::iswspace(static_cast<wint_t>(s[b]))) ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(s[e - 1]))) --e;
    return std::wstring(s.substr(b, e - b));
}

HRESULT ParseNumber(BSTR b, double* out) {
    std::wstring w = Trim(zub::com::BstrToWide(b));
    if (w.empty()) return DISP_E_TYPEMISMATCH;
    for (wchar_t c : w)
        if (!(std::iswdigit(static_cast<wint_t>(c)) || c == L'.' || c == L'-' || c == L'+' ||
              c == L'e' || c == L'E'))
            return DISP_E_TYPEMISMATCH;
    wchar_t* end = nullptr;
    double v = std::wcstod(w.c_str(), &end);
    if (end != w.c_str() + w.size()) return DISP_E_TYPEMISMATCH;
    if (!std::isfinite(v)) return DISP_E_OVERFLOW;
    *out = v;
    return S_OK;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" (or a 'T' between), "HH:MM[:SS]".
HRESULT ParseDate(BSTR b, DATE* out) {
    std::string s = zub::WideToUtf8(Trim(zub::com::BstrToWide(b)));
    SYSTEMTIME st{};
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, n = 0;
    const char* p = s.c_str();
    bool ok = false;
    if (std::sscanf(p, "%4d-%2d-%2d%n", &y, &mo, &d, &n) == 3) {
        p += n;
        if (*p == 0) {
            ok = true;
        } else if (*p == ' ' || *p == 'T') {
            ++p;
            int m2 = 0;
            if (std::sscanf(p, "%2d:%2d%n", &h, &mi, &m2) == 2) {
                p += m2;
                if (*p == ':' && std::sscanf(p, ":%2d%n", &sec, &m2) == 1) p += m2;
                ok = *p == 0;
            }
        }
    } else if (std::sscanf(p, "%2d:%2d%n", &h, &mi, &n) == 2) {
        p += n;
        if (*p == ':' && std::sscanf(p, ":%2d%n", &sec, &n) == 1) p += n;
        ok = *p == 0;
        y = 1899, mo = 12, d = 30;
    }
    if (!ok || y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || sec < 0) return DISP_E_TYPEMISMATCH;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(sec);
    return SystemTimeToVariantTime(&st, out) ? S_OK : DISP_E_TYPEMISMATCH;
}

std::wstring FormatNumber(double v) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"%.15g", v);
    return buf;
}

std::wstring FormatDate(DATE d) {
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(d, &st)) return FormatNumber(d);
    wchar_t buf[64];
    bool hasTime = st.wHour || st.wMinute || st.wSecond;
    bool hasDate = std::trunc(d) != 0.0;
    if (hasDate && hasTime)
        std::swprintf(buf, 64, L"%04u-%02u-%02u %02u:%02u:%02u", unsigned{st.wYear},
                      unsigned{st.wMonth}, unsigned{st.wDay}, unsigned{st.wHour},
                      unsigned{st.wMinute}, unsigned{st.wSecond});
    else if (hasTime)
        std::swprintf(buf, 64, L"%02u:%02u:%02u", unsigned{st.wHour}, unsigned{st.wMinute},
                      unsigned{st.wSecond});
    else
        std::swprintf(buf, 64, L"%04u-%02u-%02u", unsigned{st.wYear}, unsigned{st.wMonth},
                      unsigned{st.wDay});
    return buf;
}

// A non-owning view of the value behind one level of VT_BYREF.
HRESULT Deref(const VARIANT& src, VARIANT* view) {
    *view = src;
    if (!(src.vt & VT_BYREF)) return S_OK;
    if (!src.byref) return E_INVALIDARG;
    VARTYPE base = static_cast<VARTYPE>(src.vt & ~VT_BYREF);
    view->vt = base;
    switch (base) {
        case VT_I2:
            view->iVal = *src.piVal;
            break;
        case VT_I4:
            view->lVal = *src.plVal;
            break;
        case VT_R8:
            view->dblVal = *src.pdblVal;
            break;
        case VT_BOOL:
            view->boolVal = *src.pboolVal;
            break;
        case VT_ERROR:
            view->scode = *src.pscode;
            break;
        case VT_DATE:
            view->date = *src.pdate;
            break;
        case VT_BSTR:
            view->bstrVal = *src.pbstrVal;
            break;
        case VT_DISPATCH:
            view->pdispVal = *src.ppdispVal;
            break;
        case VT_UNKNOWN:
            view->punkVal = *src.ppunkVal;
            break;
        case VT_VARIANT:
            if (src.pvarVal->vt & VT_BYREF) return E_INVALIDARG;
            *view = *src.pvarVal;
            break;
        default:
            return DISP_E_BADVARTYPE;
    }
    return S_OK;
}

HRESULT ToDouble(const VARIANT& v, double* out) {
    switch (v.vt) {
        case VT_EMPTY:
            *out = 0;
            return S_OK;
        case VT_I2:
            *out = v.iVal;
            return S_OK;
        case VT_I4:
            *out = v.lVal;
            return S_OK;
        case VT_R4:
            *out = v.fltVal;
            return S_OK;
        case VT_R8:
            *out = v.dblVal;
            return S_OK;
        case VT_UI1:
            *out = v.bVal;
            return S_OK;
        case VT_BOOL:
            *out = v.boolVal ? -1.0 : 0.0;
            return S_OK;
        case VT_DATE:
            *out = v.date;
            return S_OK;
        case VT_BSTR:
            return ParseNumber(v.bstrVal, out);
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

template <class T>
HRESULT ToInteger(double d, T* out) {
    double r = std::nearbyint(d);  // round half to even, as automation does
    if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
          r <= static_cast<double>(std::numeric_limits<T>::max())))
        return DISP_E_OVERFLOW;
    *out = static_cast<T>(r);
    return S_OK;
}

HRESULT ToBool(const VARIANT& v, VARIANT_BOOL* out) {
    if (v.vt == VT_BSTR) {
        std::wstring w = Trim(zub::com::BstrToWide(v.bstrVal));
        for (auto& c : w) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        if (w == L"true" || w == L"#true#") return *out = VARIANT_TRUE, S_OK;
        if (w == L"false" || w == L"#false#") return *out = VARIANT_FALSE, S_OK;
    }
    double d = 0;
    HRESULT hr = ToDouble(v, &d);
    if (FAILED(hr)) return hr;
    *out = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ToText(const VARIANT& v, std::wstring* out) {
    switch (v.vt) {
        case VT_EMPTY:
            out->clear();
            return S_OK;
        case VT_I2:
            *out = std::to_wstring(v.iVal);
            return S_OK;
        case VT_I4:
            *out = std::to_wstring(v.lVal);
            return S_OK;
        case VT_UI1:
            *out = std::to_wstring(v.bVal);
            return S_OK;
        case VT_R4:
            *out = FormatNumber(v.fltVal);
            return S_OK;
        case VT_R8:
            *out = FormatNumber(v.dblVal);
            return S_OK;
        case VT_BOOL:
            *out = v.boolVal ? L"True" : L"False";
            return S_OK;
        case VT_DATE:
            *out = FormatDate(v.date);
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

// The object's default value (DISPID_VALUE), as automation converts objects.
HRESULT DefaultValue(IDispatch* disp, VARIANT* out) {
    if (!disp) return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    HRESULT hr = disp->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                              DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none, out, nullptr, nullptr);
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT Convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out) {
    VariantInit(out);
    if (src.vt == vt) return VariantCopy(out, &src);
    if ((src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) &&
        (vt == VT_DISPATCH || vt == VT_UNKNOWN)) {
        if (!src.punkVal) {
            out->vt = vt;
            out->punkVal = nullptr;
            return S_OK;
        }
        void* p = nullptr;
        HRESULT hr =
            src.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p);
        if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
        out->vt = vt;
        out->byref = p;
        return S_OK;
    }
    if (src.vt == VT_DISPATCH && vt != VT_EMPTY && vt != VT_NULL && vt != VT_ERROR) {
        if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
        zub::com::Variant value;
        HRESULT hr = DefaultValue(src.pdispVal, &value);
        if (FAILED(hr)) return hr;
        if (value.get().vt == VT_DISPATCH) return DISP_E_TYPEMISMATCH;
        return Convert(value.get(), flags, vt, out);
    }
    if (src.vt == VT_NULL) return vt == VT_EMPTY ? S_OK : DISP_E_TYPEMISMATCH;
    HRESULT hr = S_OK;
    switch (vt) {
        case VT_EMPTY:
            return S_OK;
        case VT_NULL:
            if (src.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
            out->vt = VT_NULL;
            return S_OK;
        case VT_I2:
        case VT_I4:
        case VT_UI1:
        case VT_R8:
        case VT_R4: {
            double d = 0;
            if (FAILED(hr = ToDouble(src, &d))) return hr;
            if (vt == VT_I2) hr = ToInteger(d, &out->iVal);
            if (vt == VT_I4) hr = ToInteger(d, &out->lVal);
            if (vt == VT_UI1) hr = ToInteger(d, &out->bVal);
            if (vt == VT_R8) out->dblVal = d;
            if (vt == VT_R4) {
                if (std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
                out->fltVal = static_cast<float>(d);
            }
            break;
        }
        case VT_BOOL:
            hr = ToBool(src, &out->boolVal);
            break;
        case VT_DATE: {
            double d = 0;
            if (src.vt == VT_BSTR)
                hr = ParseDate(src.bstrVal, &d);
            else
                hr = ToDouble(src, &d);
            if (SUCCEEDED(hr) && !(d >= zub::kOleDateMin && d <= zub::kOleDateMax))
                hr = DISP_E_OVERFLOW;
            out->date = d;
            break;
        }
        case VT_BSTR: {
            std::wstring text;
            if (FAILED(hr = ToText(src, &text))) return hr;
            out->bstrVal = zub::com::MakeBstr(text);
            if (!out->bstrVal) return E_OUTOFMEMORY;
            break;
        }
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (src.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
            out->punkVal = nullptr;
            break;
        case VT_ERROR:
        default:
            return IsKnownScalar(vt) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
    }
    if (FAILED(hr)) return hr;
    out->vt = vt;
    return S_OK;
}

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->brecVal = {nullptr, nullptr};
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    if (!IsValidType(pvarg->vt)) return DISP_E_BADVARTYPE;
    switch (pvarg->vt) {
        case VT_BSTR:
            SysFreeString(pvarg->bstrVal);
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (pvarg->punkVal) pvarg->punkVal->Release();
            break;
        default:
            break;
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src) {
    if (!dest || !src) return E_INVALIDARG;
    if (!IsValidType(src->vt)) return DISP_E_BADVARTYPE;
    if (dest == src) return S_OK;
    VARIANT copy = *src;
    if (src->vt == VT_BSTR && src->bstrVal) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (!copy.bstrVal) return E_OUTOFMEMORY;
    } else if ((src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) && src->punkVal) {
        src->punkVal->AddRef();
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANTARG* src) {
    if (!dest || !src) return E_INVALIDARG;
    VARIANT view;
    HRESULT hr = Deref(*src, &view);
    if (FAILED(hr)) return hr;
    VARIANT tmp;
    VariantInit(&tmp);
    if (FAILED(hr = VariantCopy(&tmp, &view))) return hr;
    VariantClear(dest);
    *dest = tmp;
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, USHORT flags, VARTYPE vt) {
    if (!dest || !src) return E_INVALIDARG;
    if (vt & VT_BYREF) return DISP_E_TYPEMISMATCH;
    VARIANT view;
    HRESULT hr = Deref(*src, &view);
    if (FAILED(hr)) return hr;
    if (!IsValidType(view.vt)) return DISP_E_BADVARTYPE;
    VARIANT result;
    hr = Convert(view, flags, vt, &result);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    // dest may be src itself: clear only after the value is built.
    VariantClear(dest);
    *dest = result;
    return S_OK;
}

int SystemTimeToVariantTime(const SYSTEMTIME* st, DATE* out) {
    if (!st || !out) return 0;
    const zub::OleDateParts parts{st->wYear,   st->wMonth,  st->wDay,         st->wHour,
                                  st->wMinute, st->wSecond, st->wMilliseconds};
    return zub::OleDateFromParts(parts, *out) ? 1 : 0;
}

int VariantTimeToSystemTime(DATE d, SYSTEMTIME* st) {
    zub::OleDateParts parts;
    if (!st || !zub::OleDateToParts(d, parts)) return 0;
    st->wYear = static_cast<WORD>(parts.year);
    st->wMonth = static_cast<WORD>(parts.month);
    st->wDay = static_cast<WORD>(parts.day);
    st->wDayOfWeek = static_cast<WORD>(parts.weekday);
    st->wHour = static_cast<WORD>(parts.hour);
    st->wMinute = static_cast<WORD>(parts.minute);
    st->wSecond = static_cast<WORD>(parts.second);
    st->wMilliseconds = static_cast<WORD>(parts.millisecond);
    return 1;
}

namespace zub::com {

std::wstring VariantText(const VARIANT& v) {
    Variant text;
    if (v.vt == VT_BSTR) return BstrToWide(v.bstrVal);
    if (FAILED(VariantChangeType(&text, &v, VARIANT_NOVALUEPROP, VT_BSTR))) return {};
    return BstrToWide(text.get().bstrVal);
}

}  // namespace zub::com
