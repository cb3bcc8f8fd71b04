// The test server end to end: registered in a sandboxed registry, created by
// ProgID through the registry, driven by vtable and by Invoke, unloaded and
// unregistered.
#include "calcobject.h"

#include <zub/com/runtime.h>
#include <zub/platform/module.h>
#include <zub/platform/registry.h>
#include <zub/text.h>

#include <gtest/gtest.h>

#include <map>

#include "zub_com_tests_paths.h"
#include "zubtest/sandbox.h"

using namespace zub::com;
namespace pf = zub::platform;

namespace {

const std::wstring kServer = zub::Utf8ToWide(ZUB_TEST_SERVER);
const std::wstring kClsKey = L"CLSID\\{5C1D7E8A-3B2F-4A61-9E0D-7F4B2C6A1D02}";

std::wstring Read(const std::wstring& path, const std::wstring& name = L"") {
    pf::RegKey key;
    std::wstring text;
    if (pf::RegOpenKey(pf::RootKey::ClassesRoot, path, pf::kKeyRead, key) != 0) return L"<no key>";
    if (pf::RegGetString(key, name, text) != 0) return L"<no value>";
    return text;
}

bool Exists(const std::wstring& path) { return pf::RegKeyExists(pf::RootKey::ClassesRoot, path); }

void Write(const std::wstring& path, const std::wstring& text) {
    pf::RegKey key;
    ASSERT_EQ(pf::RegCreateKey(pf::RootKey::ClassesRoot, path, pf::kKeyWrite, key), 0u);
    ASSERT_EQ(pf::RegSetString(key, L"", text), 0u);
}

// Every key and value under a key, for comparing whole registrations.
void Dump(const pf::RegKey& key, const std::wstring& at,
          std::map<std::wstring, std::wstring>* out) {
    std::wstring name;
    pf::RegValue value;
    for (std::uint32_t i = 0; pf::RegEnumValue(key, i, name, &value) == 0; ++i)
        (*out)[at + L"|" + name] = pf::RegDataToString(value.data.data(), value.data.size());
    std::vector<std::wstring> subs;
    for (std::uint32_t i = 0; pf::RegEnumKey(key, i, name) == 0; ++i) subs.push_back(name);
    for (const std::wstring& s : subs) {
        pf::RegKey sub;
        ASSERT_EQ(pf::RegOpenKey(key, s, pf::kKeyRead, sub), 0u);
        (*out)[at + L"\\" + s];
        Dump(sub, at + L"\\" + s, out);
    }
}

std::map<std::wstring, std::wstring> DumpClassesRoot() {
    std::map<std::wstring, std::wstring> all;
    Dump(pf::RegKey(pf::RootKey::ClassesRoot), L"HKCR", &all);
    return all;
}

class Server : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(pf::LoadLibrary(kServer, lib_), 0u);
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
    }
    void TearDown() override {
        CoUninitialize();
        CoFreeUnusedLibraries();
        lib_.Free();
    }
    HRESULT Entry(const char* name) {
        void* fn = nullptr;
        if (pf::GetProcAddress(lib_.Handle(), name, fn) != 0) return E_FAIL;
        return reinterpret_cast<DllRegisterServerFn>(fn)();
    }

    zub::testsupport::Sandbox box_{"zubcom-test", zub::testsupport::TempDir::Medium::Memory};
    pf::Library lib_;
};

TEST_F(Server, RegistersItsClassAndTypeLibrary) {
    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    EXPECT_EQ(Read(L"ZubTest.ZubCalc\\CurVer"), L"ZubTest.ZubCalc.1");
    EXPECT_EQ(Read(kClsKey), L"ZubCalc Class");
    EXPECT_EQ(Read(kClsKey + L"\\InprocServer32"), kServer);
    EXPECT_EQ(Read(kClsKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    const std::wstring tl = L"TypeLib\\{5C1D7E8A-3B2F-4A61-9E0D-7F4B2C6A1D00}\\1.0";
    EXPECT_EQ(Read(tl), L"ZubTest 1.0 Type Library");
    EXPECT_EQ(Read(tl + L"\\409\\win32"), kServer);
    EXPECT_EQ(Read(tl + L"\\FLAGS"), L"0");
    const std::wstring itf = L"Interface\\{5C1D7E8A-3B2F-4A61-9E0D-7F4B2C6A1D01}";
    EXPECT_EQ(Read(itf), L"IZubCalc");
    EXPECT_EQ(Read(itf + L"\\TypeLib"), L"{5C1D7E8A-3B2F-4A61-9E0D-7F4B2C6A1D00}");
    EXPECT_EQ(Read(itf + L"\\TypeLib", L"Version"), L"1.0");

    ComPtr<ITypeLib> viaRegistry;
    ASSERT_EQ(LoadRegTypeLib(LIBID_ZubTestLib, 1, 0, 0x409, viaRegistry.put()), S_OK);
    EXPECT_EQ(viaRegistry->GetTypeInfoCount(), 2u);
    EXPECT_EQ(LoadRegTypeLib(LIBID_ZubTestLib, 2, 0, 0x409, viaRegistry.put()),
              TYPE_E_LIBNOTREGISTERED);

    // Registering twice leaves exactly one registration, even over stale values.
    auto once = DumpClassesRoot();
    {
        pf::RegKey key;
        ASSERT_EQ(pf::RegOpenKey(pf::RootKey::ClassesRoot, kClsKey, pf::kKeyWrite, key), 0u);
        ASSERT_EQ(pf::RegSetString(key, L"Stale", L"old"), 0u);
    }
    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    EXPECT_EQ(DumpClassesRoot(), once);

    ASSERT_EQ(Entry("DllUnregisterServer"), S_OK);
    EXPECT_TRUE(Exists(L"CLSID"));
    EXPECT_FALSE(Exists(kClsKey));
    EXPECT_FALSE(Exists(L"ZubTest.ZubCalc"));
    EXPECT_FALSE(Exists(L"ZubTest.ZubCalc.1"));
    EXPECT_FALSE(Exists(L"TypeLib\\{5C1D7E8A-3B2F-4A61-9E0D-7F4B2C6A1D00}"));
    EXPECT_FALSE(Exists(itf));
}

TEST_F(Server, CreatedByProgIdAndDrivenByVtableAndInvoke) {
    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"ZubTest.ZubCalc", &clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_ZubCalc);
    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(clsid, &progId), S_OK);
    EXPECT_EQ(std::u16string_view(progId), u"ZubTest.ZubCalc.1");
    CoTaskMemFree(progId);

    ComPtr<IZubCalc> calc;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IZubCalc, calc.putVoid()),
              S_OK);
    EXPECT_EQ(LoadedServerCount(), 1u);
    Bstr name(L"bracket");
    ASSERT_EQ(calc->put_name(name.get()), S_OK);
    LONG sum = 0;
    ASSERT_EQ(calc->Add(40, 2, &sum), S_OK);
    EXPECT_EQ(sum, 42);

    ComPtr<IDispatch> disp;
    ASSERT_EQ(calc.As(IID_IDispatch, &disp), S_OK);
    LPOLESTR member = const_cast<LPOLESTR>(u"NAME");
    DISPID id = 0;
    ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &member, 1, 0, &id), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant result;
    ASSERT_EQ(disp->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(BstrToWide(result.get().bstrVal), L"bracket");

    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = 3;
    DISPPARAMS one{&arg, nullptr, 1, 0};
    EXCEPINFO ex{};
    EXPECT_EQ(disp->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, &ex, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(BstrToWide(ex.bstrDescription), L"failed with 3");
    SysFreeString(ex.bstrDescription);
    SysFreeString(ex.bstrSource);
    SysFreeString(ex.bstrHelpFile);

    // Live objects keep the server loaded.
    CoFreeUnusedLibraries();
    EXPECT_EQ(LoadedServerCount(), 1u);
    calc.reset();
    disp.reset();
    CoFreeUnusedLibraries();
    EXPECT_EQ(LoadedServerCount(), 0u);
    ASSERT_EQ(Entry("DllUnregisterServer"), S_OK);
}

TEST_F(Server, TypeLibraryFromTheModuleResource) {
    ComPtr<ITypeLib> lib;
    std::u16string path = zub::WideToUtf16(kServer);
    ASSERT_EQ(LoadTypeLib(path.c_str(), lib.put()), S_OK);
    EXPECT_EQ(lib->GetTypeInfoCount(), 2u);
    std::u16string second = path + u"/2";
    EXPECT_EQ(LoadTypeLib(second.c_str(), lib.put()), TYPE_E_CANTLOADLIBRARY);
    std::u16string first = path + u"/1";
    EXPECT_EQ(LoadTypeLib(first.c_str(), lib.put()), S_OK);
}

TEST_F(Server, ProgIdsFollowCurVer) {
    const std::wstring x = L"{00000000-0000-0000-0000-0000000000AA}";
    const std::wstring y = L"{00000000-0000-0000-0000-0000000000BB}";
    Write(L"Zub.A\\CLSID", x);
    Write(L"Zub.A\\CurVer", L"Zub.A.2");
    Write(L"Zub.A.2\\CLSID", y);
    Write(L"Zub.B\\CLSID", x);
    Write(L"Zub.B\\CurVer", L"Zub.Missing");
    CLSID c{};
    ASSERT_EQ(CLSIDFromProgID(u"zub.a", &c), S_OK);
    EXPECT_EQ(GuidToString(c), y);
    ASSERT_EQ(CLSIDFromProgID(u"Zub.B", &c), S_OK);
    EXPECT_EQ(GuidToString(c), x);
    EXPECT_EQ(CLSIDFromProgID(u"Zub.Nothing", &c), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(u"", &c), CO_E_CLASSSTRING);
}

TEST_F(Server, CreationFailures) {
    ComPtr<IUnknown> obj;
    EXPECT_EQ(
        CoCreateInstance(CLSID_ZubCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, obj.putVoid()),
        REGDB_E_CLASSNOTREG);

    Write(kClsKey + L"\\InprocServer32", L"/nonexistent/libnothing.so");
    EXPECT_EQ(
        CoCreateInstance(CLSID_ZubCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, obj.putVoid()),
        CO_E_DLLNOTFOUND);

    ASSERT_EQ(Entry("DllRegisterServer"), S_OK);
    ComPtr<IUnknown> outer;
    EXPECT_EQ(CoCreateInstance(CLSID_ZubCalc, reinterpret_cast<IUnknown*>(&obj),
                               CLSCTX_INPROC_SERVER, IID_IUnknown, obj.putVoid()),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(CoGetClassObject(IID_IDispatch, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               obj.putVoid()),
              REGDB_E_CLASSNOTREG);
    void* fn = nullptr;
    ASSERT_EQ(pf::GetProcAddress(lib_.Handle(), "DllGetClassObject", fn), 0u);
    EXPECT_EQ(
        reinterpret_cast<DllGetClassObjectFn>(fn)(IID_IDispatch, IID_IClassFactory, obj.putVoid()),
        CLASS_E_CLASSNOTAVAILABLE);

    CoUninitialize();
    EXPECT_EQ(
        CoCreateInstance(CLSID_ZubCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, obj.putVoid()),
        CO_E_NOTINITIALIZED);
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoFreeUnusedLibraries();
    ASSERT_EQ(Entry("DllUnregisterServer"), S_OK);
}

}  // namespace
