#include <zub/com/automation.h>

#include <gtest/gtest.h>

#include <cmath>

using zub::com::Bstr;
using zub::com::BstrView;
using zub::com::Variant;

namespace {

// Counts references so tests can see what VARIANT functions do to objects.
class Counted final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    ULONG refs = 1;
};

TEST(Bstr, LengthPrefixedWithEmbeddedZerosAndNullAsEmpty) {
    const char16_t text[] = {u'a', 0, u'b', 0, u'c'};
    Bstr b(SysAllocStringLen(text, 5));
    ASSERT_NE(b.get(), nullptr);
    EXPECT_EQ(SysStringLen(b.get()), 5u);
    EXPECT_EQ(SysStringByteLen(b.get()), 10u);
    EXPECT_EQ(BstrView(b.get()), std::u16string_view(text, 5));
    EXPECT_EQ(b.get()[5], 0) << "terminated after the counted characters";

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
    EXPECT_TRUE(BstrView(nullptr).empty());
    EXPECT_EQ(zub::com::BstrToWide(nullptr), L"");
}

TEST(Bstr, AllocationForms) {
    Bstr zeroed(SysAllocStringLen(nullptr, 3));
    ASSERT_EQ(SysStringLen(zeroed.get()), 3u);
    EXPECT_EQ(BstrView(zeroed.get()), std::u16string_view(u"\0\0\0", 3));

    Bstr fromC(SysAllocString(u"hello"));
    EXPECT_EQ(SysStringLen(fromC.get()), 5u);

    Bstr empty(SysAllocString(u""));
    ASSERT_NE(empty.get(), nullptr) << "an empty BSTR is not a null one";
    EXPECT_EQ(SysStringLen(empty.get()), 0u);

    EXPECT_EQ(SysAllocStringLen(u"x", 0x7FFFFFFFu), nullptr) << "a length beyond 32 bits of bytes";

    BSTR r = SysAllocString(u"old");
    ASSERT_EQ(SysReAllocStringLen(&r, u"newer", 5), 1);
    EXPECT_EQ(BstrView(r), u"newer");
    SysFreeString(r);

    // Outside the BMP: two UTF-16 units.
    Bstr wide(std::wstring_view(L"\U0001F600x"));
    EXPECT_EQ(SysStringLen(wide.get()), 3u);
    EXPECT_EQ(wide.wide(), L"\U0001F600x");
}

TEST(Variant, CopyIsDeepAndClearReleases) {
    const char16_t text[] = {u'a', 0, u'b'};
    Variant src, dst;
    src.get().vt = VT_BSTR;
    src.get().bstrVal = SysAllocStringLen(text, 3);
    ASSERT_EQ(VariantCopy(&dst, &src.get()), S_OK);
    EXPECT_EQ(dst.get().vt, VT_BSTR);
    EXPECT_NE(dst.get().bstrVal, src.get().bstrVal);
    EXPECT_EQ(BstrView(dst.get().bstrVal), std::u16string_view(text, 3));

    Counted obj;
    Variant a, b;
    a.get().vt = VT_UNKNOWN;
    a.get().punkVal = &obj;
    obj.AddRef();
    ASSERT_EQ(VariantCopy(&b, &a.get()), S_OK);
    EXPECT_EQ(obj.refs, 3u);
    ASSERT_EQ(VariantClear(&b), S_OK);
    EXPECT_EQ(b.get().vt, VT_EMPTY);
    EXPECT_EQ(obj.refs, 2u);
    ASSERT_EQ(VariantClear(&a), S_OK);
    EXPECT_EQ(obj.refs, 1u);

    Variant nullBstr, copy;
    nullBstr.get().vt = VT_BSTR;
    ASSERT_EQ(VariantCopy(&copy, &nullBstr.get()), S_OK);
    EXPECT_EQ(copy.get().bstrVal, nullptr);
}

TEST(Variant, BadTypesAreRefused) {
    VARIANT v;
    VariantInit(&v);
    v.vt = 0x7F;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    Variant d;
    EXPECT_EQ(VariantCopy(&d, &v), DISP_E_BADVARTYPE);
    EXPECT_EQ(d.get().vt, VT_EMPTY);
    EXPECT_EQ(VariantChangeType(&d, &v, 0, VT_I4), DISP_E_BADVARTYPE);
}

VARIANT I4(LONG n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}
VARIANT R8(double d) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = d;
    return v;
}
VARIANT Date(double d) {
    VARIANT v = R8(d);
    v.vt = VT_DATE;
    return v;
}
VARIANT Typed(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}

struct ChangeCase {
    const char* what;
    VARIANT (*make)();
    VARTYPE to;
    HRESULT hr;
    const wchar_t* text;  // the result as text, when hr is S_OK
};

VARIANT Text(const char16_t* s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}

const ChangeCase kChanges[] = {
    {"I4 fits I2", [] { return I4(-1234); }, VT_I2, S_OK, L"-1234"},
    {"I4 over I2", [] { return I4(70000); }, VT_I2, DISP_E_OVERFLOW, nullptr},
    {"text to I4", [] { return Text(u" 42 "); }, VT_I4, S_OK, L"42"},
    {"text half rounds to even", [] { return Text(u"2.5"); }, VT_I4, S_OK, L"2"},
    {"text half rounds up to even", [] { return Text(u"3.5"); }, VT_I4, S_OK, L"4"},
    {"non-number text", [] { return Text(u"12abc"); }, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"empty text", [] { return Text(u""); }, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"text too big", [] { return Text(u"1e10"); }, VT_I4, DISP_E_OVERFLOW, nullptr},
    {"empty to text", [] { return Typed(VT_EMPTY); }, VT_BSTR, S_OK, L""},
    {"empty to I4", [] { return Typed(VT_EMPTY); }, VT_I4, S_OK, L"0"},
    {"null to I4", [] { return Typed(VT_NULL); }, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"error to I4", [] { return Typed(VT_ERROR); }, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {"R8 to text", [] { return R8(0.1); }, VT_BSTR, S_OK, L"0.1"},
    {"text to bool", [] { return Text(u"True"); }, VT_BOOL, S_OK, L"True"},
    {"zero to bool", [] { return I4(0); }, VT_BOOL, S_OK, L"False"},
    {"date with time", [] { return Date(45000.5); }, VT_BSTR, S_OK, L"2023-03-15 12:00:00"},
    {"date only", [] { return Date(45000); }, VT_BSTR, S_OK, L"2023-03-15"},
    {"text to date", [] { return Text(u"2023-03-15 06:30"); }, VT_DATE, S_OK,
     L"2023-03-15 06:30:00"},
    {"impossible date", [] { return Text(u"2023-02-30"); }, VT_DATE, DISP_E_TYPEMISMATCH, nullptr},
    {"date out of range", [] { return R8(1e9); }, VT_DATE, DISP_E_OVERFLOW, nullptr},
    {"unknown target", [] { return I4(1); }, VARTYPE{0x7F}, DISP_E_BADVARTYPE, nullptr},
};

TEST(Variant, ChangeType) {
    for (const ChangeCase& c : kChanges) {
        SCOPED_TRACE(c.what);
        Variant src, dst;
        src.get() = c.make();
        ASSERT_EQ(VariantChangeType(&dst, &src.get(), 0, c.to), c.hr);
        if (c.hr != S_OK) {
            EXPECT_EQ(dst.get().vt, VT_EMPTY) << "a failed change leaves the target alone";
            continue;
        }
        EXPECT_EQ(dst.get().vt, c.to);
        EXPECT_EQ(zub::com::VariantText(dst.get()), c.text);
    }
}

TEST(Variant, ChangeTypeInPlaceAndThroughReferences) {
    Variant v;
    v.get() = Text(u"17");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);  // the text is freed (leak check)
    EXPECT_EQ(v.get().vt, VT_I4);
    EXPECT_EQ(v.get().lVal, 17);

    SHORT s = -3;
    VARIANT ref = Typed(VT_BYREF | VT_I2);
    ref.piVal = &s;
    Variant out;
    ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
    EXPECT_EQ(zub::com::BstrToWide(out.get().bstrVal), L"-3");
    EXPECT_EQ(VariantChangeType(&out, &ref, 0, VT_BYREF | VT_I4), DISP_E_TYPEMISMATCH);

    Variant copied;
    ASSERT_EQ(VariantCopyInd(&copied, &ref), S_OK);
    EXPECT_EQ(copied.get().vt, VT_I2);
    EXPECT_EQ(copied.get().iVal, -3);
}

struct DateCase {
    double date;
    WORD y, mo, d, h, mi, s;
};

const DateCase kDates[] = {
    {0.0, 1899, 12, 30, 0, 0, 0},    {1.0, 1899, 12, 31, 0, 0, 0},
    {-1.25, 1899, 12, 29, 6, 0, 0},  {2.75, 1900, 1, 1, 18, 0, 0},
    {60.0, 1900, 2, 28, 0, 0, 0},    {61.0, 1900, 3, 1, 0, 0, 0},
    {36585.0, 2000, 2, 29, 0, 0, 0}, {45000.5, 2023, 3, 15, 12, 0, 0},
    {-657434.0, 100, 1, 1, 0, 0, 0}, {2958465.0, 9999, 12, 31, 0, 0, 0},
};

TEST(Date, OleDatesBothWays) {
    for (const DateCase& c : kDates) {
        SCOPED_TRACE(c.date);
        SYSTEMTIME st{};
        ASSERT_EQ(VariantTimeToSystemTime(c.date, &st), 1);
        EXPECT_EQ(st.wYear, c.y);
        EXPECT_EQ(st.wMonth, c.mo);
        EXPECT_EQ(st.wDay, c.d);
        EXPECT_EQ(st.wHour, c.h);
        EXPECT_EQ(st.wMinute, c.mi);
        EXPECT_EQ(st.wSecond, c.s);
        DATE back = 0;
        ASSERT_EQ(SystemTimeToVariantTime(&st, &back), 1);
        EXPECT_DOUBLE_EQ(back, c.date);
    }
}

TEST(Date, InvalidDatesAreRefused) {
    const SYSTEMTIME bad[] = {
        {2023, 13, 0, 1, 0, 0, 0, 0}, {1900, 2, 0, 29, 0, 0, 0, 0}, {2023, 4, 0, 31, 0, 0, 0, 0},
        {2023, 1, 0, 1, 24, 0, 0, 0}, {99, 12, 0, 31, 0, 0, 0, 0},  {2023, 1, 0, 0, 0, 0, 0, 0},
    };
    for (const SYSTEMTIME& st : bad) {
        DATE d = 123;
        EXPECT_EQ(SystemTimeToVariantTime(&st, &d), 0) << st.wYear << "-" << st.wMonth;
        EXPECT_EQ(d, 123);
    }
    SYSTEMTIME st{};
    EXPECT_EQ(VariantTimeToSystemTime(3e6, &st), 0);
    EXPECT_EQ(VariantTimeToSystemTime(std::nan(""), &st), 0);
}

TEST(Guid, RegistryFormBothWays) {
    GUID g{};
    ASSERT_TRUE(zub::com::GuidFromString(L"{a661c5d7-E874-42E0-A091-6406D0615E79}", &g));
    EXPECT_EQ(zub::com::GuidToString(g), L"{A661C5D7-E874-42E0-A091-6406D0615E79}");
    EXPECT_EQ(g.Data1, 0xA661C5D7u);
    EXPECT_EQ(g.Data4[7], 0x79);
    ASSERT_TRUE(zub::com::GuidFromString(L"00020400-0000-0000-C000-000000000046", &g));
    EXPECT_TRUE(g == IID_IDispatch);
    for (const wchar_t* bad :
         {L"", L"{A661C5D7-E874-42E0-A091-6406D0615E7}", L"{A661C5D7-E874-42E0-A091-6406D0615E7G}",
          L"{A661C5D7+E874-42E0-A091-6406D0615E79}", L"A661C5D7-E874-42E0-A091-6406D0615E79}"})
        EXPECT_FALSE(zub::com::GuidFromString(bad, &g)) << bad;
    CLSID c{};
    EXPECT_EQ(CLSIDFromString(u"{00020400-0000-0000-C000-000000000046}", &c), S_OK);
    EXPECT_EQ(CLSIDFromString(u"00020400-0000-0000-C000-000000000046", &c), CO_E_CLASSSTRING);
}

TEST(HResult, Texts) {
    EXPECT_EQ(zub::com::HResultText(DISP_E_MEMBERNOTFOUND), L"Member not found.");
    EXPECT_EQ(zub::com::HResultText(DISP_E_TYPEMISMATCH), L"Type mismatch.");
    EXPECT_EQ(zub::com::HResultText(MakeHr(0x80040207)), L"Error 0x80040207.");
    EXPECT_EQ(zub::com::HResultHex(-1), L"0xFFFFFFFF");
}

}  // namespace
