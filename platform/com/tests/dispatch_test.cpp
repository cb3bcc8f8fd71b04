#include "calcobject.h"

#include <gtest/gtest.h>

#include <zub/text.h>
#include <cstring>
#include <fstream>
#include <iterator>
#include "zub_com_tests_paths.h"

using namespace zub::com;

namespace {

// Arguments for Invoke, given in call order (DISPPARAMS wants them reversed).
struct Args {
    std::vector<VARIANT> v;
    std::vector<DISPID> named;
    DISPPARAMS dp{};

    Args& I4(LONG n) {
        VARIANT x;
        VariantInit(&x);
        x.vt = VT_I4;
        x.lVal = n;
        v.insert(v.begin(), x);
        return *this;
    }
    Args& Str(const wchar_t* s) {
        VARIANT x;
        VariantInit(&x);
        x.vt = VT_BSTR;
        x.bstrVal = MakeBstr(std::wstring_view(s));
        v.insert(v.begin(), x);
        return *this;
    }
    Args& Obj(IDispatch* d) {
        VARIANT x;
        VariantInit(&x);
        x.vt = VT_DISPATCH;
        x.pdispVal = d;
        d->AddRef();
        v.insert(v.begin(), x);
        return *this;
    }
    Args& Put() {
        named.push_back(DISPID_PROPERTYPUT);
        return *this;
    }
    DISPPARAMS* get() {
        dp = {v.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(v.size()),
              static_cast<UINT>(named.size())};
        return &dp;
    }
    ~Args() {
        for (VARIANT& x : v) VariantClear(&x);
    }
};

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override {
        ComPtr<ITypeLib> lib;
        ASSERT_EQ(LoadTypeLib(zub::WideToUtf16(zub::Utf8ToWide(ZUB_TEST_TLB)).c_str(), lib.put()),
                  S_OK);
        ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IZubCalc, info_.put()), S_OK);
        calc_ = ComPtr<CalcObject>::Adopt(new CalcObject(info_.get()));
    }

    DISPID Id(const char16_t* name) {
        DISPID id = 99;
        auto* n = const_cast<LPOLESTR>(name);
        EXPECT_EQ(calc_->GetIDsOfNames(IID_NULL, &n, 1, 0, &id), S_OK) << "name lookup";
        return id;
    }
    HRESULT Call(DISPID id, WORD flags, Args& a, VARIANT* result = nullptr, UINT* argErr = nullptr,
                 EXCEPINFO* ex = nullptr) {
        return calc_->Invoke(id, IID_NULL, 0, flags, a.get(), result, ex, argErr);
    }

    ComPtr<ITypeInfo> info_;
    ComPtr<CalcObject> calc_;
};

TEST_F(Dispatch, NamesAreFoundWithoutRegardToCase) {
    struct {
        const char16_t* name;
        DISPID id;
    } const cases[] = {{u"name", 1}, {u"NAME", 1}, {u"Name", 1}, {u"Save", 10},
                       {u"when", 8}, {u"When", 8}, {u"add", 3}};
    for (const auto& c : cases) EXPECT_EQ(Id(c.name), c.id);

    LPOLESTR names[] = {const_cast<LPOLESTR>(u"Add"), const_cast<LPOLESTR>(u"B"),
                        const_cast<LPOLESTR>(u"zz")};
    DISPID ids[3] = {};
    EXPECT_EQ(calc_->GetIDsOfNames(IID_NULL, names, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 3);
    EXPECT_EQ(ids[1], 1) << "parameters are named by their position";
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    LPOLESTR unknown = const_cast<LPOLESTR>(u"Nope");
    EXPECT_EQ(calc_->GetIDsOfNames(IID_NULL, &unknown, 1, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
}

TEST_F(Dispatch, PropertiesGetAndPut) {
    Args put;
    put.Str(L"bracket").Put();
    ASSERT_EQ(Call(1, DISPATCH_PROPERTYPUT, put), S_OK);
    Args none;
    Variant r;
    ASSERT_EQ(Call(1, DISPATCH_PROPERTYGET | DISPATCH_METHOD, none, &r), S_OK);
    EXPECT_EQ(r.get().vt, VT_BSTR);
    EXPECT_EQ(BstrToWide(r.get().bstrVal), L"bracket");

    // A put given as text is coerced to the short the property takes.
    Args count;
    count.Str(L"12").Put();
    ASSERT_EQ(Call(2, DISPATCH_PROPERTYPUT, count), S_OK);
    SHORT c = 0;
    calc_->get_Count(&c);
    EXPECT_EQ(c, 12);
}

TEST_F(Dispatch, MethodsCoerceArgumentsAndReturnTheRetval) {
    Args add;
    add.Str(L"40").I4(2);
    Variant r;
    ASSERT_EQ(Call(3, DISPATCH_METHOD, add, &r), S_OK);
    EXPECT_EQ(r.get().vt, VT_I4);
    EXPECT_EQ(r.get().lVal, 42);

    Args stamp;
    stamp.Str(L"2023-03-15 12:00:00");
    Variant s;
    ASSERT_EQ(Call(4, DISPATCH_METHOD, stamp, &s), S_OK);
    EXPECT_EQ(BstrToWide(s.get().bstrVal), L"2023-03-15 12:00:00");

    Args cat;
    cat.Str(L"ab").Str(L"cd");
    Variant c;
    ASSERT_EQ(Call(9, DISPATCH_METHOD, cat, &c), S_OK);
    EXPECT_EQ(BstrToWide(c.get().bstrVal), L"abcd") << "arguments keep their order";

    Args none;
    ASSERT_EQ(Call(10, DISPATCH_METHOD, none), S_OK);
    EXPECT_EQ(calc_->saves, 1);
}

TEST_F(Dispatch, ObjectsGoInAndComeOut) {
    Args self;
    Variant r;
    ASSERT_EQ(Call(7, DISPATCH_METHOD, self, &r), S_OK);
    ASSERT_EQ(r.get().vt, VT_DISPATCH);
    EXPECT_EQ(r.get().pdispVal, static_cast<IDispatch*>(calc_.get()));

    auto other = ComPtr<CalcObject>::Adopt(new CalcObject(info_.get()));
    other->put_Count(5);
    Args take;
    take.Obj(other.get());
    Variant n;
    ASSERT_EQ(Call(11, DISPATCH_METHOD, take, &n), S_OK);
    EXPECT_EQ(n.get().lVal, 5);

    // A plain IDispatch parameter takes any object.
    Args any;
    any.Obj(other.get());
    Variant count;
    ASSERT_EQ(Call(12, DISPATCH_METHOD, any, &count), S_OK);
    EXPECT_EQ(count.get().lVal, 1);
}

struct FailCase {
    const char* what;
    DISPID id;
    WORD flags;
    void (*args)(Args&);
    HRESULT hr;
    UINT argErr;  // checked for type mismatches
};

const FailCase kFailures[] = {
    {"no such DISPID", 5, DISPATCH_METHOD, [](Args&) {}, DISP_E_MEMBERNOTFOUND, 0},
    {"method called as a put", 3, DISPATCH_PROPERTYPUT, [](Args& a) { a.I4(1).Put(); },
     DISP_E_MEMBERNOTFOUND, 0},
    {"too few arguments", 3, DISPATCH_METHOD, [](Args& a) { a.I4(1); }, DISP_E_BADPARAMCOUNT, 0},
    {"too many arguments", 10, DISPATCH_METHOD, [](Args& a) { a.I4(1); }, DISP_E_BADPARAMCOUNT, 0},
    {"first argument not a number", 3, DISPATCH_METHOD, [](Args& a) { a.Str(L"x").I4(1); },
     DISP_E_TYPEMISMATCH, 1},
    {"second argument not a number", 3, DISPATCH_METHOD, [](Args& a) { a.I4(1).Str(L"x"); },
     DISP_E_TYPEMISMATCH, 0},
    {"short overflows", 3, DISPATCH_METHOD, [](Args& a) { a.I4(1).I4(70000); }, DISP_E_OVERFLOW, 0},
    {"text for an object", 11, DISPATCH_METHOD, [](Args& a) { a.Str(L"x"); }, DISP_E_TYPEMISMATCH,
     0},
};

TEST_F(Dispatch, FailuresNameTheArgument) {
    for (const FailCase& c : kFailures) {
        SCOPED_TRACE(c.what);
        Args a;
        c.args(a);
        UINT argErr = 1234;
        Variant r;
        EXPECT_EQ(Call(c.id, c.flags, a, &r, &argErr), c.hr);
        if (c.hr == DISP_E_TYPEMISMATCH || c.hr == DISP_E_OVERFLOW) {
            EXPECT_EQ(argErr, c.argErr);
        }
        EXPECT_EQ(r.get().vt, VT_EMPTY);
    }
}

TEST_F(Dispatch, AFailingMemberFillsExcepInfoFromItsErrorRecord) {
    Args a;
    a.I4(7);
    EXCEPINFO ex{};
    ASSERT_EQ(Call(6, DISPATCH_METHOD, a, nullptr, nullptr, &ex), DISP_E_EXCEPTION);
    EXPECT_EQ(ex.scode, MakeHr(0x80040007));
    EXPECT_EQ(BstrToWide(ex.bstrDescription), L"failed with 7");
    EXPECT_EQ(BstrToWide(ex.bstrSource), L"ZubTest.ZubCalc.1");
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrHelpFile);
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE) << "the record was taken into EXCEPINFO";

    // Without EXCEPINFO the member's own status comes back.
    Args b;
    b.I4(9);
    EXPECT_EQ(Call(6, DISPATCH_METHOD, b), MakeHr(0x80040009));
    SetErrorInfo(0, nullptr);
}

TEST_F(Dispatch, TypeInfoDescribesMembers) {
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info_->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->cFuncs, 14);
    EXPECT_EQ(attr->cbSizeVft, 21 * sizeof(void*));
    info_->ReleaseTypeAttr(attr);

    FUNCDESC* fd = nullptr;
    ASSERT_EQ(info_->GetFuncDesc(4, &fd), S_OK);
    EXPECT_EQ(fd->memid, 3);
    EXPECT_EQ(fd->oVft, static_cast<SHORT>(11 * sizeof(void*)));
    ASSERT_EQ(fd->cParams, 3);
    EXPECT_EQ(fd->lprgelemdescParam[2].paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    EXPECT_EQ(fd->lprgelemdescParam[2].tdesc.lptdesc->vt, VT_I4);
    info_->ReleaseFuncDesc(fd);

    BSTR names[4] = {};
    UINT n = 0;
    ASSERT_EQ(info_->GetNames(3, names, 4, &n), S_OK);
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(BstrToWide(names[0]), L"Add");
    EXPECT_EQ(BstrToWide(names[3]), L"ret");
    for (UINT i = 0; i < n; ++i) SysFreeString(names[i]);

    Bstr doc;
    ASSERT_EQ(info_->GetDocumentation(6, nullptr, doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.wide(), L"method Fail");
    EXPECT_EQ(info_->GetDocumentation(5, nullptr, doc.out(), nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);
}

TEST_F(Dispatch, TypeLibDescribesItself) {
    ComPtr<ITypeLib> lib;
    UINT index = 99;
    ASSERT_EQ(info_->GetContainingTypeLib(lib.put(), &index), S_OK);
    EXPECT_EQ(index, 1u);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == LIBID_ZubTestLib);
    EXPECT_EQ(attr->lcid, 0x409u);
    EXPECT_EQ(attr->syskind, SYS_WIN32);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    lib->ReleaseTLibAttr(attr);

    Bstr name, doc;
    ASSERT_EQ(lib->GetDocumentation(-1, name.out(), doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(name.wide(), L"ZubTestLib");
    EXPECT_EQ(doc.wide(), L"ZubTest 1.0 Type Library");
    ASSERT_EQ(lib->GetDocumentation(0, name.out(), doc.out(), nullptr, nullptr), S_OK);
    EXPECT_EQ(doc.wide(), L"ZubCalc Class");
    EXPECT_EQ(lib->GetDocumentation(2, name.out(), nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);

    TYPEKIND kind = TKIND_MAX;
    ASSERT_EQ(lib->GetTypeInfoType(0, &kind), S_OK);
    EXPECT_EQ(kind, TKIND_COCLASS);
    int found = 0;
    ASSERT_EQ(lib->IsName(const_cast<LPOLESTR>(u"CONCAT"), 0, &found), S_OK);
    EXPECT_EQ(found, 1);
    ASSERT_EQ(lib->IsName(const_cast<LPOLESTR>(u"Divide"), 0, &found), S_OK);
    EXPECT_EQ(found, 0);
    ComPtr<ITypeInfo> none;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(IID_IDispatch, none.put()), TYPE_E_ELEMENTNOTFOUND);
}

// Type information whose vtable is shorter than a member's slot must not make
// Invoke call past the end of the object's vtable.
TEST_F(Dispatch, MembersOutsideTheVtableAreNotCalled) {
    std::ifstream f(ZUB_TEST_TLB, std::ios::binary);
    std::vector<std::uint8_t> b{std::istreambuf_iterator<char>(f), {}};
    auto get = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, &b[at], 4);
        return v;
    };
    const std::size_t typeTable = get(0x54 + get(0x20) * 4);
    const std::uint16_t eightSlots = 8 * 4;  // Win32 slots: up to the put of name
    std::memcpy(&b[typeTable + 0x64 + 0x4E], &eightSlots, 2);
    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadTypeLibFromMemory(b, lib.put()), S_OK);
    ComPtr<ITypeInfo> shortInfo;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IZubCalc, shortInfo.put()), S_OK);

    IZubCalc* self = calc_.get();
    Args add;
    add.I4(1).I4(2);
    Variant r;
    EXPECT_EQ(
        DispInvoke(self, shortInfo.get(), 3, DISPATCH_METHOD, add.get(), &r, nullptr, nullptr),
        DISP_E_BADCALLEE);
    Args none;
    EXPECT_EQ(DispInvoke(self, shortInfo.get(), 1, DISPATCH_PROPERTYGET, none.get(), &r, nullptr,
                         nullptr),
              S_OK);
}

}  // namespace
