// The type library embedded in the module, read back with the runtime's
// reader and compared with every row of the contract table; names resolved
// and every property carried through IDispatch into the right vtable slot.
#include <zub/com/comptr.h>
#include <zub/com/typelib.h>
#include <zub/com/typelibdata.h>

#include <map>
#include <sstream>

#include "contracttable.h"
#include "dispatchclient.h"
#include "serversandbox.h"

namespace {

using namespace zub::vaultauto::test;
using zub::com::FuncData;
using zub::com::ParamData;
using zub::com::TypeData;
using zub::com::TypeDescData;
using zub::com::TypeLibData;

std::string U8(const std::wstring& w) { return zub::WideToUtf8(w); }

GUID Guid(const wchar_t* text) {
    GUID g{};
    EXPECT_TRUE(zub::com::GuidFromString(text, &g)) << U8(text);
    return g;
}

std::vector<std::wstring> Split(const std::wstring& list) {
    std::vector<std::wstring> out;
    std::wstringstream in(list);
    std::wstring item;
    while (std::getline(in, item, L',')) {
        auto first = item.find_first_not_of(L' ');
        if (first != std::wstring::npos) out.push_back(item.substr(first));
    }
    return out;
}

// A type as written in the table ("BSTR", "long", "ICoDoc*") as the reader
// describes it.
std::wstring Describe(const TypeLibData& lib, const TypeDescData& t) {
    switch (t.vt) {
        case VT_BSTR:
            return L"BSTR";
        case VT_I4:
            return L"long";
        case VT_I2:
            return L"short";
        case VT_DATE:
            return L"DATE";
        case VT_HRESULT:
            return L"HRESULT";
        case VT_PTR:
            return t.pointee ? Describe(lib, *t.pointee) + L"*" : L"?*";
        case VT_USERDEFINED: {
            const TypeData* local = lib.IsImport(t.hreftype) ? nullptr : lib.LocalType(t.hreftype);
            return local ? local->name : L"<import>";
        }
        default:
            return L"vt" + std::to_wstring(t.vt);
    }
}

struct ExpectedParam {
    std::wstring type;
    std::wstring name;
    USHORT flags;
};

struct ExpectedFunc {
    int dispid;
    std::wstring name;
    INVOKEKIND kind;
    std::wstring help;
    std::vector<ExpectedParam> params;
};

// The table's rows of one interface as the functions the library must hold,
// in slot order: a property is its get followed by its put.
std::vector<ExpectedFunc> ExpectedFuncs(const std::wstring& iface) {
    std::vector<ExpectedFunc> out;
    for (const MemberRow& row : kMembers) {
        if (iface != row.iface) continue;
        if (row.kind == Kind::Property) {
            std::wstring help = row.help ? row.help : L"property " + std::wstring(row.name);
            out.push_back({row.dispid,
                           row.name,
                           INVOKE_PROPERTYGET,
                           help,
                           {{std::wstring(row.type) + L"*", L"pVal",
                             static_cast<USHORT>(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)}}});
            out.push_back(
                {row.dispid, row.name, INVOKE_PROPERTYPUT, help, {{row.type, L"", PARAMFLAG_FIN}}});
            continue;
        }
        ExpectedFunc f{row.dispid,
                       row.name,
                       INVOKE_FUNC,
                       row.help ? row.help : L"method " + std::wstring(row.name),
                       {}};
        for (const std::wstring& arg : Split(row.args)) {
            std::wstring decl = arg;
            USHORT flags = PARAMFLAG_NONE;
            if (decl.rfind(L"[in] ", 0) == 0) {
                flags = PARAMFLAG_FIN;
                decl = decl.substr(5);
            }
            auto blank = decl.rfind(L' ');
            f.params.push_back({decl.substr(0, blank), decl.substr(blank + 1), flags});
        }
        if (*row.result) {
            std::wstring decl = row.result;
            auto blank = decl.rfind(L' ');
            f.params.push_back({decl.substr(0, blank) + L"*", decl.substr(blank + 1),
                                static_cast<USHORT>(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)});
        }
        out.push_back(std::move(f));
    }
    return out;
}

class TypeLibrary : public ServerSandbox {
protected:
    TypeLibData Read() {
        std::span<const std::uint8_t> bytes;
        EXPECT_EQ(pf::FindResource(module_.Handle(), "TYPELIB", 1, bytes), 0u);
        return zub::com::ReadTypeLib(bytes);
    }
    DispatchClient Create(const wchar_t* clsid, const wchar_t* iid) {
        zub::com::ComPtr<IClassFactory> factory;
        EXPECT_EQ(getClassObject_(Guid(clsid), IID_IClassFactory, factory.putVoid()), S_OK);
        zub::com::ComPtr<IDispatch> d;
        if (factory) {
            EXPECT_EQ(factory->CreateInstance(nullptr, Guid(iid), d.putVoid()), S_OK);
        }
        return DispatchClient(d);
    }
};

TEST_F(TypeLibrary, LibraryAttributes) {
    const TypeLibData lib = Read();
    EXPECT_EQ(lib.name, L"CoVaultDm");
    EXPECT_TRUE(lib.guid == Guid(kLibId));
    EXPECT_EQ(lib.majorVersion, 1);
    EXPECT_EQ(lib.minorVersion, 0);
    EXPECT_EQ(lib.lcid, 0x0409u);
    EXPECT_EQ(lib.sysKind, SYS_WIN32);
    EXPECT_EQ(lib.helpString, L"CoVaultkeep 1.0 Type Library");
    bool importsStdole = false;
    for (const auto& [href, import] : lib.imports)
        importsStdole = importsStdole || import.libFile == L"stdole2.tlb";
    EXPECT_TRUE(importsStdole);
}

TEST_F(TypeLibrary, EachCoclassIsFollowedByItsInterface) {
    const TypeLibData lib = Read();
    ASSERT_EQ(lib.types.size(), 2 * kClasses.size());
    for (std::size_t i = 0; i < kClasses.size(); ++i) {
        const ClassRow& c = kClasses[i];
        SCOPED_TRACE(U8(c.coclass));
        const TypeData& cls = lib.types[2 * i];
        const TypeData& itf = lib.types[2 * i + 1];
        EXPECT_EQ(cls.kind, TKIND_COCLASS);
        EXPECT_EQ(cls.name, c.coclass);
        EXPECT_TRUE(cls.guid == Guid(c.clsid));
        EXPECT_EQ(cls.helpString, std::wstring(c.coclass) + L" Class");
        EXPECT_TRUE(cls.flags & TYPEFLAG_FCANCREATE);
        ASSERT_EQ(cls.implTypes.size(), 1u);
        EXPECT_EQ(cls.implTypes[0].flags, IMPLTYPEFLAG_FDEFAULT);
        EXPECT_EQ(lib.LocalType(cls.implTypes[0].hreftype), &itf);

        EXPECT_EQ(itf.name, c.iface);
        EXPECT_TRUE(itf.guid == Guid(c.iid));
        EXPECT_EQ(itf.helpString, std::wstring(c.iface) + L" Interface");
        for (WORD flag : {TYPEFLAG_FDUAL, TYPEFLAG_FNONEXTENSIBLE, TYPEFLAG_FOLEAUTOMATION})
            EXPECT_TRUE(itf.flags & flag) << std::hex << flag;
        ASSERT_EQ(itf.implTypes.size(), 1u) << "derives from IDispatch only";
        const auto* base = lib.Import(itf.implTypes[0].hreftype);
        ASSERT_NE(base, nullptr);
        EXPECT_TRUE(base->typeGuid == IID_IDispatch);
    }
}

TEST_F(TypeLibrary, EveryMemberMatchesItsTableRow) {
    const TypeLibData lib = Read();
    for (const ClassRow& c : kClasses) {
        const TypeData* itf = nullptr;
        for (const TypeData& t : lib.types)
            if (t.name == c.iface) itf = &t;
        ASSERT_NE(itf, nullptr) << U8(c.iface);
        const std::vector<ExpectedFunc> expected = ExpectedFuncs(c.iface);
        ASSERT_EQ(itf->funcs.size(), expected.size()) << U8(c.iface);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const ExpectedFunc& e = expected[i];
            const FuncData& f = itf->funcs[i];
            SCOPED_TRACE(
                U8(std::wstring(c.iface) + L"." + e.name + L" kind " + std::to_wstring(e.kind)));
            EXPECT_EQ(f.memid, e.dispid);
            EXPECT_EQ(f.name, e.name) << "the one stored spelling";
            EXPECT_EQ(f.invKind, e.kind);
            EXPECT_EQ(f.slot, static_cast<int>(7 + i)) << "slots follow the table after IDispatch";
            EXPECT_EQ(f.helpString, e.help);
            EXPECT_EQ(Describe(lib, f.returnType), L"HRESULT");
            ASSERT_EQ(f.params.size(), e.params.size());
            for (std::size_t p = 0; p < e.params.size(); ++p) {
                SCOPED_TRACE(U8(e.params[p].name));
                EXPECT_EQ(Describe(lib, f.params[p].type), e.params[p].type);
                EXPECT_EQ(f.params[p].name, e.params[p].name);
                EXPECT_EQ(f.params[p].flags, e.params[p].flags);
            }
        }
    }
}

TEST_F(TypeLibrary, NamesResolveWithoutRegardToCase) {
    DispatchClient baseline = Create(kClasses[7].clsid, kClasses[7].iid);
    DispatchClient auth = Create(kClasses[3].clsid, kClasses[3].iid);
    DISPID id = 0;
    ASSERT_EQ(baseline.IdOf(L"Name", &id), S_OK);
    EXPECT_EQ(id, 3);
    ASSERT_EQ(baseline.IdOf(L"CREATEDTIME", &id), S_OK);
    EXPECT_EQ(id, 12);
    ASSERT_EQ(auth.IdOf(L"Save", &id), S_OK);
    EXPECT_EQ(id, 11);
    EXPECT_EQ(auth.IdOf(L"NoSuchMember", &id), DISP_E_UNKNOWNNAME);
}

// A value for each property row that no other row of its interface uses.
Arg ValueFor(const MemberRow& row, int k) {
    const std::wstring type = row.type;
    if (type == L"BSTR") return Arg(L"v" + std::to_wstring(k));
    if (type == L"DATE") return Arg(40000.25 + k);
    return Arg(100 + k);
}

TEST_F(TypeLibrary, EveryPropertyReachesItsOwnAccessors) {
    for (const ClassRow& c : kClasses) {
        SCOPED_TRACE(U8(c.coclass));
        DispatchClient obj = Create(c.clsid, c.iid);
        ASSERT_TRUE(obj);
        std::map<std::wstring, int> written;
        int k = 0;
        for (const MemberRow& row : kMembers) {
            if (row.iface != std::wstring(c.iface) || row.kind != Kind::Property) continue;
            EXPECT_EQ(obj.Put(row.name, ValueFor(row, ++k)), S_OK) << U8(row.name);
            written[row.name] = k;
        }
        for (const MemberRow& row : kMembers) {
            if (row.iface != std::wstring(c.iface) || row.kind != Kind::Property) continue;
            int expectedK = written[row.name];
            // The baseline's BaseLine is the same field as its DocRepoId.
            if (std::wstring(row.iface) == L"ICoBaseLine" && std::wstring(row.name) == L"BaseLine")
                expectedK = written[L"DocRepoId"];
            CallResult r;
            obj.Call(r, row.name, {}, DISPATCH_PROPERTYGET);
            ASSERT_EQ(r.hr, S_OK) << U8(row.name);
            if (std::wstring(row.type) == L"DATE") {
                EXPECT_EQ(r.value.vt, VT_DATE) << U8(row.name);
                EXPECT_DOUBLE_EQ(r.Date(), ValueFor(row, expectedK).get().dblVal) << U8(row.name);
            } else {
                EXPECT_EQ(r.Text(), zub::com::VariantText(ValueFor(row, expectedK).get()))
                    << U8(row.name);
            }
        }
    }
}

}  // namespace
