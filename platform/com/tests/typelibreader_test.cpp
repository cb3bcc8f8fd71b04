#include <zub/com/typelib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include "zub_com_tests_paths.h"

using namespace zub::com;

namespace {

std::vector<std::uint8_t> ReadAll(const char* path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

GUID G(const wchar_t* s) {
    GUID g{};
    EXPECT_TRUE(GuidFromString(s, &g)) << s;
    return g;
}

class TestLib : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = ReadAll(ZUB_TEST_TLB);
        ASSERT_GT(bytes_.size(), 0x54u);
        lib_ = ReadTypeLib(bytes_);
        ASSERT_EQ(lib_.types.size(), 2u);
    }
    const TypeData& Calc() const { return lib_.types[1]; }
    const FuncData& Func(std::size_t i) const { return Calc().funcs.at(i); }

    std::vector<std::uint8_t> bytes_;
    TypeLibData lib_;
};

TEST_F(TestLib, LibraryAttributes) {
    EXPECT_EQ(lib_.name, L"ZubTestLib");
    EXPECT_EQ(lib_.guid, G(L"{5C1D7E8A-3B2F-4A61-9E0D-7F4B2C6A1D00}"));
    EXPECT_EQ(lib_.helpString, L"ZubTest 1.0 Type Library");
    EXPECT_EQ(lib_.majorVersion, 1);
    EXPECT_EQ(lib_.minorVersion, 0);
    EXPECT_EQ(lib_.lcid, 0x409u);
    EXPECT_EQ(lib_.sysKind, SYS_WIN32);
}

TEST_F(TestLib, TypesInOrderWithKindsFlagsAndHelp) {
    const TypeData& cls = lib_.types[0];
    EXPECT_EQ(cls.kind, TKIND_COCLASS);
    EXPECT_EQ(cls.name, L"ZubCalc");
    EXPECT_EQ(cls.helpString, L"ZubCalc Class");
    EXPECT_EQ(cls.guid, G(L"{5C1D7E8A-3B2F-4A61-9E0D-7F4B2C6A1D02}"));
    EXPECT_TRUE(cls.flags & TYPEFLAG_FCANCREATE);
    ASSERT_EQ(cls.implTypes.size(), 1u);
    EXPECT_EQ(lib_.LocalType(cls.implTypes[0].hreftype), &Calc());
    EXPECT_EQ(cls.implTypes[0].flags, IMPLTYPEFLAG_FDEFAULT);

    EXPECT_EQ(Calc().kind, TKIND_DISPATCH);
    EXPECT_EQ(Calc().name, L"IZubCalc");
    EXPECT_EQ(Calc().helpString, L"IZubCalc Interface");
    EXPECT_EQ(Calc().flags & (TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION),
              TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION);
    EXPECT_EQ(Calc().vtableSlots, 21);
    // The base, IDispatch, comes from our stdole2.
    ASSERT_EQ(Calc().implTypes.size(), 1u);
    const ImportData* base = lib_.Import(Calc().implTypes[0].hreftype);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->typeGuid, IID_IDispatch);
    EXPECT_EQ(base->libFile, L"stdole2.tlb");
    EXPECT_EQ(base->libGuid, G(L"{00020430-0000-0000-C000-000000000046}"));
    EXPECT_EQ(base->libMajor, 2);
}

struct FuncCase {
    std::size_t index;
    const wchar_t* name;
    MEMBERID id;
    INVOKEKIND kind;
    int slot;
    const wchar_t* help;
};

TEST_F(TestLib, MembersInVtableOrderWithDispidsAndHelp) {
    const FuncCase cases[] = {
        {0, L"name", 1, INVOKE_PROPERTYGET, 7, L"property Name"},
        {1, L"name", 1, INVOKE_PROPERTYPUT, 8, L"property Name"},
        {2, L"Count", 2, INVOKE_PROPERTYGET, 9, L"property Count"},
        {4, L"Add", 3, INVOKE_FUNC, 11, L"method Add"},
        {5, L"Stamp", 4, INVOKE_FUNC, 12, L"method Stamp"},
        {6, L"Fail", 6, INVOKE_FUNC, 13, L"method Fail"},  // DISPID 5 is a gap
        // One stored spelling per name: the parameter "when" came first.
        {8, L"when", 8, INVOKE_PROPERTYGET, 15, L"property When"},
        {11, L"save", 10, INVOKE_FUNC, 18, L"method Save"},
        {12, L"Take", 11, INVOKE_FUNC, 19, L"method Take"},
        {13, L"Names", 12, INVOKE_FUNC, 20, L"method Names"},
    };
    ASSERT_EQ(Calc().funcs.size(), 14u);
    for (const FuncCase& c : cases) {
        SCOPED_TRACE(c.index);
        const FuncData& f = Func(c.index);
        EXPECT_EQ(f.name, c.name);
        EXPECT_EQ(f.memid, c.id);
        EXPECT_EQ(f.invKind, c.kind);
        EXPECT_EQ(f.slot, c.slot);
        EXPECT_EQ(f.helpString, c.help);
        EXPECT_EQ(f.returnType.vt, VT_HRESULT);
        EXPECT_EQ(f.callConv, CC_STDCALL);
    }
}

TEST_F(TestLib, ParameterNamesTypesAndDirections) {
    const FuncData& add = Func(4);
    ASSERT_EQ(add.params.size(), 3u);
    EXPECT_EQ(add.params[0].name, L"a");
    EXPECT_EQ(add.params[0].type.vt, VT_I4);
    EXPECT_EQ(add.params[0].flags, PARAMFLAG_FIN);
    EXPECT_EQ(add.params[1].name, L"b");
    EXPECT_EQ(add.params[1].type.vt, VT_I2);
    EXPECT_EQ(add.params[1].flags, PARAMFLAG_NONE) << "declared without a direction";
    EXPECT_EQ(add.params[2].name, L"ret");
    EXPECT_EQ(add.params[2].flags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    ASSERT_TRUE(add.params[2].type.pointee);
    EXPECT_EQ(add.params[2].type.vt, VT_PTR);
    EXPECT_EQ(add.params[2].type.pointee->vt, VT_I4);

    const FuncData& put = Func(1);
    ASSERT_EQ(put.params.size(), 1u);
    EXPECT_EQ(put.params[0].name, L"") << "a put's value carries no name";
    EXPECT_EQ(put.params[0].type.vt, VT_BSTR);

    const FuncData& names = Func(13);
    EXPECT_EQ(names.params[0].type.vt, VT_DISPATCH);
    EXPECT_EQ(names.params[1].name, L"Count") << "the spelling the property stored first";

    const FuncData& stamp = Func(5);
    EXPECT_EQ(stamp.params[0].type.vt, VT_DATE);

    const FuncData& self = Func(7);
    ASSERT_EQ(self.params.size(), 1u);
    const TypeDescData& t = self.params[0].type;
    ASSERT_TRUE(t.pointee && t.pointee->pointee);
    EXPECT_EQ(t.pointee->pointee->vt, VT_USERDEFINED);
    EXPECT_EQ(lib_.LocalType(t.pointee->pointee->hreftype), &Calc());
}

TEST(StdOle2, DeclaresTheBaseInterfaces) {
    auto bytes = ReadAll(ZUB_STDOLE2_TLB);
    TypeLibData lib = ReadTypeLib(bytes);
    EXPECT_EQ(lib.name, L"stdole");
    EXPECT_EQ(lib.majorVersion, 2);
    const TypeData* unk = nullptr;
    const TypeData* disp = nullptr;
    for (const TypeData& t : lib.types) {
        if (t.guid == IID_IUnknown) unk = &t;
        if (t.guid == IID_IDispatch) disp = &t;
    }
    ASSERT_TRUE(unk && disp);
    EXPECT_EQ(unk->funcs.size(), 3u);
    ASSERT_EQ(disp->funcs.size(), 4u);
    EXPECT_EQ(disp->funcs[3].name, L"Invoke");
    EXPECT_EQ(disp->funcs[3].slot, 6);
    EXPECT_EQ(disp->vtableSlots, 7);
}

// Every cut of a real library, and many with bytes changed, must either read
// or fail with TypeLibFormatError; the sanitizer build catches stray reads.
TEST_F(TestLib, MalformedInputNeverReadsOutOfBounds) {
    for (std::size_t n = 0; n < bytes_.size(); ++n) {
        std::vector<std::uint8_t> cut(bytes_.begin(), bytes_.begin() + static_cast<long>(n));
        try {
            ReadTypeLib(cut);
        } catch (const TypeLibFormatError&) {}
    }
    std::mt19937 rng(12345);
    int failures = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint8_t> b = bytes_;
        for (int k = 0; k < 4; ++k) {
            std::size_t at = rng() % b.size();
            b[at] = static_cast<std::uint8_t>(rng());
        }
        try {
            ReadTypeLib(b);
        } catch (const TypeLibFormatError&) {
            ++failures;
        }
    }
    EXPECT_GT(failures, 0);
}

// The library rebuilt with `copies` type entries that all are the interface,
// so that they share one member block.
std::vector<std::uint8_t> ShareMembers(const std::vector<std::uint8_t>& b, std::uint32_t copies) {
    auto get = [](const std::vector<std::uint8_t>& v, std::size_t at) {
        std::uint32_t x;
        std::memcpy(&x, &v[at], 4);
        return x;
    };
    auto set = [](std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
        std::memcpy(&v[at], &x, 4);
    };
    const std::uint32_t count = get(b, 0x20);
    const std::size_t header = 0x54 + ((get(b, 0x14) & 0x100) ? 4 : 0);
    const std::size_t oldDir = header + count * 4, newDir = header + copies * 4;
    const std::uint32_t delta = (copies - count) * 4;
    std::vector<std::uint8_t> out(b.begin(), b.begin() + static_cast<long>(header));
    set(out, 0x20, copies);
    for (std::uint32_t i = 0; i < copies; ++i) {
        out.resize(out.size() + 4);
        set(out, out.size() - 4, i * 0x64);
    }
    out.insert(out.end(), b.begin() + static_cast<long>(oldDir), b.end());
    for (std::size_t seg = 0; seg < 15; ++seg)
        if (get(out, newDir + seg * 16) != 0xFFFFFFFFu)
            set(out, newDir + seg * 16, get(out, newDir + seg * 16) + delta);
    const std::size_t entry = get(out, newDir) + 0x64;  // the interface
    std::vector<std::uint8_t> one(out.begin() + static_cast<long>(entry),
                                  out.begin() + static_cast<long>(entry + 0x64));
    set(one, 4, get(one, 4) + delta);  // its member block, an absolute offset
    set(out, newDir, static_cast<std::uint32_t>(out.size()));
    set(out, newDir + 4, copies * 0x64);
    for (std::uint32_t i = 0; i < copies; ++i) out.insert(out.end(), one.begin(), one.end());
    return out;
}

TEST_F(TestLib, TypesSharingOneMemberBlockCannotMultiplyIt) {
    TypeLibData two = ReadTypeLib(ShareMembers(bytes_, 2));
    ASSERT_EQ(two.types.size(), 2u);
    EXPECT_EQ(two.types[0].name, L"IZubCalc");
    EXPECT_EQ(two.types[0].funcs.size(), Calc().funcs.size());
    EXPECT_THROW(ReadTypeLib(ShareMembers(bytes_, 40)), TypeLibFormatError);
}

TEST(TypeLibLoad, GarbageIsAnErrorNotACrash) {
    ITypeLib* lib = nullptr;
    const std::uint8_t junk[] = {'M', 'S', 'F', 'T', 2, 0, 1, 0, 0xFF};
    EXPECT_EQ(LoadTypeLibFromMemory(junk, &lib), TYPE_E_INVDATAREAD);
    EXPECT_EQ(lib, nullptr);
    EXPECT_EQ(LoadTypeLib(u"/nonexistent/x.tlb", &lib), TYPE_E_CANTLOADLIBRARY);
}

}  // namespace
