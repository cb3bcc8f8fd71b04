// Self-registration against a sandboxed registry, compared key by key and
// value by value with the published entries; and the other entry points.
#include <zub/com/comptr.h>
#include <zub/com/typelib.h>
#include <zub/platform/folders.h>

#include "contracttable.h"
#include "serversandbox.h"

namespace {

using zub::vaultauto::test::DumpClassesRoot;
using zub::vaultauto::test::kAppId;
using zub::vaultauto::test::kClasses;
using zub::vaultauto::test::KeyExists;
using zub::vaultauto::test::kLibId;
using zub::vaultauto::test::RegistryDump;
namespace pf = zub::platform;

// What one registration writes below AppID, CLSID and the ProgID keys.
RegistryDump ExpectedEntries(const std::wstring& module) {
    RegistryDump e;
    e[L"HKCR\\AppID"];
    e[L"HKCR\\AppID\\" + std::wstring(kAppId)];
    e[L"HKCR\\AppID\\" + std::wstring(kAppId) + L"|"] = L"VaultAuto";
    e[L"HKCR\\AppID\\VaultAuto.DLL"];
    e[L"HKCR\\AppID\\VaultAuto.DLL|AppID"] = kAppId;
    e[L"HKCR\\CLSID"];
    for (const auto& c : kClasses) {
        const std::wstring name = c.coclass;
        const std::wstring title = name + L" Class";
        const std::wstring progId = L"VaultAuto." + name + L".1";
        const std::wstring independent = L"VaultAuto." + name;
        e[L"HKCR\\" + progId];
        e[L"HKCR\\" + progId + L"|"] = title;
        e[L"HKCR\\" + progId + L"\\CLSID"];
        e[L"HKCR\\" + progId + L"\\CLSID|"] = c.clsid;
        e[L"HKCR\\" + independent];
        e[L"HKCR\\" + independent + L"|"] = title;
        e[L"HKCR\\" + independent + L"\\CLSID"];
        e[L"HKCR\\" + independent + L"\\CLSID|"] = c.clsid;
        e[L"HKCR\\" + independent + L"\\CurVer"];
        e[L"HKCR\\" + independent + L"\\CurVer|"] = progId;
        const std::wstring k = L"HKCR\\CLSID\\" + std::wstring(c.clsid);
        e[k];
        e[k + L"|"] = title;
        e[k + L"|AppID"] = kAppId;
        e[k + L"\\ProgID"];
        e[k + L"\\ProgID|"] = progId;
        e[k + L"\\VersionIndependentProgID"];
        e[k + L"\\VersionIndependentProgID|"] = independent;
        e[k + L"\\Programmable"];
        e[k + L"\\InprocServer32"];
        e[k + L"\\InprocServer32|"] = module;
        e[k + L"\\InprocServer32|ThreadingModel"] = L"Apartment";
        e[k + L"\\TypeLib"];
        e[k + L"\\TypeLib|"] = kLibId;
    }
    return e;
}

RegistryDump ActualEntries() {
    RegistryDump all = DumpClassesRoot(L"AppID");
    all.merge(DumpClassesRoot(L"CLSID"));
    for (const auto& c : kClasses) {
        all.merge(DumpClassesRoot(L"VaultAuto." + std::wstring(c.coclass) + L".1"));
        all.merge(DumpClassesRoot(L"VaultAuto." + std::wstring(c.coclass)));
    }
    return all;
}

void ExpectSameEntries(const RegistryDump& actual, const RegistryDump& expected) {
    for (const auto& [k, v] : expected) {
        auto it = actual.find(k);
        if (it == actual.end())
            ADD_FAILURE() << "missing " << zub::WideToUtf8(k);
        else
            EXPECT_EQ(it->second, v) << zub::WideToUtf8(k);
    }
    for (const auto& [k, v] : actual)
        if (!expected.count(k)) ADD_FAILURE() << "unexpected " << zub::WideToUtf8(k);
}

void SetText(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    pf::RegKey key;
    ASSERT_EQ(pf::RegCreateKey(pf::RootKey::ClassesRoot, path, pf::kKeyWrite, key), 0u);
    ASSERT_EQ(pf::RegSetString(key, name, text), 0u);
}

using Registration = zub::vaultauto::test::ServerSandbox;

TEST_F(Registration, RegisteringTwiceLeavesExactlyOneRegistration) {
    ASSERT_EQ(registerServer_(), S_OK);
    ExpectSameEntries(ActualEntries(), ExpectedEntries(ModulePath()));

    // Leftovers of an earlier, different registration of one class.
    const std::wstring classKey = L"CLSID\\" + std::wstring(kClasses[5].clsid);
    SetText(classKey, L"Stale", L"old");
    SetText(classKey + L"\\LocalServer32", L"", L"/old/server");
    SetText(classKey + L"\\InprocServer32", L"", L"/old/libvaultauto.so");
    ASSERT_EQ(registerServer_(), S_OK);
    ExpectSameEntries(ActualEntries(), ExpectedEntries(ModulePath()));
}

TEST_F(Registration, TheTypeLibraryIsRegisteredWithTheModulePath) {
    ASSERT_EQ(registerServer_(), S_OK);
    const std::wstring lib = L"TypeLib\\" + std::wstring(kLibId) + L"\\1.0";
    RegistryDump tl = DumpClassesRoot(lib);
    EXPECT_EQ(tl[L"HKCR\\" + lib + L"|"], L"CoVaultkeep 1.0 Type Library");
    EXPECT_EQ(tl[L"HKCR\\" + lib + L"\\409\\win32|"], ModulePath());
    for (const auto& c : kClasses)
        EXPECT_TRUE(KeyExists(L"Interface\\" + std::wstring(c.iid))) << zub::WideToUtf8(c.iid);

    zub::com::ComPtr<ITypeLib> loaded;
    GUID libId{};
    ASSERT_TRUE(zub::com::GuidFromString(kLibId, &libId));
    ASSERT_EQ(LoadRegTypeLib(libId, 1, 0, 0x0409, loaded.put()), S_OK);
    EXPECT_EQ(loaded->GetTypeInfoCount(), 22u);
}

TEST_F(Registration, UnregisteringKeepsTheAppIdAndClsidKeysOnly) {
    SetText(L"CLSID\\{00000000-1111-2222-3333-444444444444}", L"", L"another server");
    ASSERT_EQ(registerServer_(), S_OK);
    ASSERT_EQ(unregisterServer_(), S_OK);

    EXPECT_TRUE(KeyExists(L"AppID"));
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_TRUE(KeyExists(L"CLSID\\{00000000-1111-2222-3333-444444444444}"));
    EXPECT_FALSE(KeyExists(L"AppID\\" + std::wstring(kAppId)));
    EXPECT_FALSE(KeyExists(L"AppID\\VaultAuto.DLL"));
    for (const auto& c : kClasses) {
        const std::wstring name = c.coclass;
        EXPECT_FALSE(KeyExists(L"CLSID\\" + std::wstring(c.clsid))) << zub::WideToUtf8(name);
        EXPECT_FALSE(KeyExists(L"VaultAuto." + name + L".1"));
        EXPECT_FALSE(KeyExists(L"VaultAuto." + name));
        EXPECT_FALSE(KeyExists(L"Interface\\" + std::wstring(c.iid)));
    }
    EXPECT_FALSE(KeyExists(L"TypeLib\\" + std::wstring(kLibId)));
}

TEST_F(Registration, TheThreadLocaleIsRestored) {
    ASSERT_TRUE(pf::SetThreadLocale(0x0804));
    ASSERT_EQ(registerServer_(), S_OK);
    EXPECT_EQ(pf::GetThreadLocale(), 0x0804u);
    ASSERT_EQ(unregisterServer_(), S_OK);
    EXPECT_EQ(pf::GetThreadLocale(), 0x0804u);
    pf::SetThreadLocale(0x0409);
}

TEST_F(Registration, ClassObjectsAreCachedPerClassAndHoldTheModuleWhenLocked) {
    GUID other{};
    ASSERT_TRUE(zub::com::GuidFromString(L"{00020424-0000-0000-C000-000000000046}", &other));
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject_(other, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);

    for (const auto& c : kClasses) {
        GUID clsid{}, iid{};
        ASSERT_TRUE(zub::com::GuidFromString(c.clsid, &clsid));
        ASSERT_TRUE(zub::com::GuidFromString(c.iid, &iid));
        zub::com::ComPtr<IClassFactory> f1, f2;
        ASSERT_EQ(getClassObject_(clsid, IID_IClassFactory, f1.putVoid()), S_OK);
        ASSERT_EQ(getClassObject_(clsid, IID_IUnknown, f2.putVoid()), S_OK);
        EXPECT_EQ(static_cast<IUnknown*>(f1.get()), static_cast<IUnknown*>(f2.get()));

        EXPECT_EQ(canUnloadNow_(), S_OK);
        zub::com::ComPtr<IDispatch> object;
        ASSERT_EQ(f1->CreateInstance(nullptr, iid, object.putVoid()), S_OK)
            << zub::WideToUtf8(c.coclass);
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
        object.reset();
        EXPECT_EQ(canUnloadNow_(), S_OK);
        ASSERT_EQ(f1->LockServer(1), S_OK);
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
        ASSERT_EQ(f1->LockServer(0), S_OK);
        EXPECT_EQ(canUnloadNow_(), S_OK);
    }
}

}  // namespace
