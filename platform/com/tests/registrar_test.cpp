#include <zub/com/registrar.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <map>

using namespace zub::com;

namespace {

std::wstring Fold(std::wstring_view s) {
    std::wstring f(s);
    for (auto& c : f) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return f;
}

// A registry in memory: keys by folded full path, each with its values.
class MemoryTarget final : public RegistrarTarget {
public:
    std::map<std::wstring, std::map<std::wstring, std::wstring>> keys;
    int writes = 0;

    static std::wstring Full(std::wstring_view root, std::wstring_view path) {
        return Fold(path.empty() ? std::wstring(root)
                                 : std::wstring(root) + L"\\" + std::wstring(path));
    }
    bool Has(const std::wstring& full) const { return keys.count(Fold(full)) > 0; }
    std::wstring Value(const std::wstring& full, const std::wstring& name) const {
        auto k = keys.find(Fold(full));
        if (k == keys.end()) return L"<no key>";
        auto v = k->second.find(Fold(name));
        return v == k->second.end() ? L"<no value>" : v->second;
    }

    HRESULT CreateKey(std::wstring_view root, std::wstring_view path) override {
        ++writes;
        std::wstring full = Full(root, path);
        for (std::size_t p = 0; (p = full.find(L'\\', p + 1)) != std::wstring::npos;)
            keys[full.substr(0, p)];
        keys[full];
        return S_OK;
    }
    bool KeyExists(std::wstring_view root, std::wstring_view path) override {
        return path.empty() || keys.count(Full(root, path)) > 0;
    }
    bool HasSubKeys(std::wstring_view root, std::wstring_view path) override {
        std::wstring prefix = Full(root, path) + L"\\";
        auto it = keys.lower_bound(prefix);
        return it != keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;
    }
    HRESULT SetString(std::wstring_view root, std::wstring_view path, std::wstring_view name,
                      std::wstring_view value) override {
        ++writes;
        keys[Full(root, path)][Fold(name)] = value;
        return S_OK;
    }
    HRESULT SetDword(std::wstring_view root, std::wstring_view path, std::wstring_view name,
                     std::uint32_t value) override {
        return SetString(root, path, name, L"dword:" + std::to_wstring(value));
    }
    HRESULT SetBinary(std::wstring_view root, std::wstring_view path, std::wstring_view name,
                      const std::vector<std::uint8_t>& value) override {
        std::wstring s = L"hex:";
        for (auto b : value) s += std::to_wstring(b) + L",";
        return SetString(root, path, name, s);
    }
    HRESULT DeleteTree(std::wstring_view root, std::wstring_view path) override {
        ++writes;
        std::wstring full = Full(root, path);
        keys.erase(full);
        std::wstring prefix = full + L"\\";
        for (auto it = keys.lower_bound(prefix);
             it != keys.end() && it->first.compare(0, prefix.size(), prefix) == 0;)
            it = keys.erase(it);
        return S_OK;
    }
    HRESULT DeleteValue(std::wstring_view root, std::wstring_view path,
                        std::wstring_view name) override {
        ++writes;
        keys[Full(root, path)].erase(Fold(name));
        return S_OK;
    }
};

const wchar_t* kAppIdScript =
    LR"(
HKCR
{
    NoRemove AppID
    {
        '%APPID%' = s 'VaultAuto'
        'VaultAuto.DLL'
        {
            val AppID = s '%APPID%'
        }
    }
}
)";

const wchar_t* kClassScript =
    LR"(
HKCR
{
    VaultAuto.CoDoc.1 = s 'CoDoc Class'
    {
        CLSID = s '{A661C5D7-E874-42E0-A091-6406D0615E79}'
    }
    VaultAuto.CoDoc = s 'CoDoc Class'
    {
        CLSID = s '{A661C5D7-E874-42E0-A091-6406D0615E79}'
        CurVer = s 'VaultAuto.CoDoc.1'
    }
    NoRemove CLSID
    {
        ForceRemove {A661C5D7-E874-42E0-A091-6406D0615E79} = s 'CoDoc Class'
        {
            ProgID = s 'VaultAuto.CoDoc.1'
            VersionIndependentProgID = s 'VaultAuto.CoDoc'
            ForceRemove 'Programmable'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            val AppID = s '%APPID%'
            'TypeLib' = s '{DD089D45-A833-4EF4-AF3C-5E4F1D8DBF26}'
        }
    }
}
)";

const Replacements kRepl = {{L"MODULE", L"/opt/zub/lib/it's.so"},
                            {L"APPID", L"{CB663127-EE17-44B5-A76B-8E4B49A6785D}"}};
const std::wstring kClsKey = L"HKCR\\CLSID\\{A661C5D7-E874-42E0-A091-6406D0615E79}";

TEST(Registrar, RegistersKeysValuesAndReplacements) {
    MemoryTarget t;
    ASSERT_EQ(RunRegistrarScript(kAppIdScript, kRepl, true, t), S_OK);
    ASSERT_EQ(RunRegistrarScript(kClassScript, kRepl, true, t), S_OK);
    EXPECT_EQ(t.Value(L"HKCR\\AppID\\{CB663127-EE17-44B5-A76B-8E4B49A6785D}", L""), L"VaultAuto");
    EXPECT_EQ(t.Value(L"HKCR\\AppID\\VaultAuto.DLL", L"AppID"),
              L"{CB663127-EE17-44B5-A76B-8E4B49A6785D}");
    EXPECT_EQ(t.Value(L"HKCR\\VaultAuto.CoDoc.1", L""), L"CoDoc Class");
    EXPECT_EQ(t.Value(L"HKCR\\VaultAuto.CoDoc\\CurVer", L""), L"VaultAuto.CoDoc.1");
    EXPECT_EQ(t.Value(kClsKey, L""), L"CoDoc Class");
    EXPECT_EQ(t.Value(kClsKey, L"AppID"), L"{CB663127-EE17-44B5-A76B-8E4B49A6785D}");
    EXPECT_EQ(t.Value(kClsKey + L"\\InprocServer32", L""), L"/opt/zub/lib/it's.so");
    EXPECT_EQ(t.Value(kClsKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_TRUE(t.Has(kClsKey + L"\\Programmable"));
    EXPECT_EQ(t.Value(kClsKey + L"\\Programmable", L""), L"<no value>");
    EXPECT_EQ(t.Value(kClsKey + L"\\TypeLib", L""), L"{DD089D45-A833-4EF4-AF3C-5E4F1D8DBF26}");
}

TEST(Registrar, RegisteringTwiceLeavesOneRegistration) {
    MemoryTarget once, twice;
    ASSERT_EQ(RunRegistrarScript(kClassScript, kRepl, true, once), S_OK);
    ASSERT_EQ(RunRegistrarScript(kClassScript, kRepl, true, twice), S_OK);
    // Leftovers of an earlier, different registration inside the class key.
    twice.keys[Fold(kClsKey)][L"STALE"] = L"old";
    twice.keys[Fold(kClsKey + L"\\LocalServer32")];
    ASSERT_EQ(RunRegistrarScript(kClassScript, kRepl, true, twice), S_OK);
    EXPECT_EQ(once.keys, twice.keys);
}

TEST(Registrar, RemovingKeepsNoRemoveKeysAndOthersEntries) {
    MemoryTarget t;
    t.keys[Fold(L"HKCR\\CLSID\\{00000000-1111-2222-3333-444444444444}")][L""] = L"other";
    ASSERT_EQ(RunRegistrarScript(kAppIdScript, kRepl, true, t), S_OK);
    ASSERT_EQ(RunRegistrarScript(kClassScript, kRepl, true, t), S_OK);
    ASSERT_EQ(RunRegistrarScript(kClassScript, kRepl, false, t), S_OK);
    ASSERT_EQ(RunRegistrarScript(kAppIdScript, kRepl, false, t), S_OK);
    EXPECT_FALSE(t.Has(kClsKey));
    EXPECT_FALSE(t.Has(L"HKCR\\VaultAuto.CoDoc.1"));
    EXPECT_FALSE(t.Has(L"HKCR\\VaultAuto.CoDoc"));
    EXPECT_FALSE(t.Has(L"HKCR\\AppID\\VaultAuto.DLL"));
    EXPECT_FALSE(t.Has(L"HKCR\\AppID\\{CB663127-EE17-44B5-A76B-8E4B49A6785D}"));
    EXPECT_TRUE(t.Has(L"HKCR\\CLSID"));
    EXPECT_TRUE(t.Has(L"HKCR\\AppID"));
    EXPECT_TRUE(t.Has(L"HKCR\\CLSID\\{00000000-1111-2222-3333-444444444444}"));
    // Removing what is not there is not an error.
    EXPECT_EQ(RunRegistrarScript(kClassScript, kRepl, false, t), S_OK);
}

TEST(Registrar, AKeyOthersStillUseStays) {
    MemoryTarget t;
    const wchar_t* script = L"HKLM { Software { Zub = s 'x' } }";
    t.keys[Fold(L"HKLM\\Software\\Other")];
    ASSERT_EQ(RunRegistrarScript(script, {}, true, t), S_OK);
    ASSERT_EQ(RunRegistrarScript(script, {}, false, t), S_OK);
    EXPECT_FALSE(t.Has(L"HKLM\\Software\\Zub"));
    EXPECT_TRUE(t.Has(L"HKLM\\Software\\Other"));
    EXPECT_TRUE(t.Has(L"HKLM\\Software")) << "it still has a subkey";
}

TEST(Registrar, ValueKindsAndQuoting) {
    MemoryTarget t;
    const wchar_t* script =
        LR"(HKEY_CURRENT_USER {
        'a b' = s 'it''s 100%%'
        {
            val Count = d 42
            val Mask = d 0xFF
            val Blob = b '0aFF 10'
            Delete Gone
        }
    })";
    t.keys[Fold(L"HKCU\\a b\\Gone")];
    ASSERT_EQ(RunRegistrarScript(script, {}, true, t), S_OK);
    EXPECT_EQ(t.Value(L"HKCU\\a b", L""), L"it's 100%");
    EXPECT_EQ(t.Value(L"HKCU\\a b", L"Count"), L"dword:42");
    EXPECT_EQ(t.Value(L"HKCU\\a b", L"Mask"), L"dword:255");
    EXPECT_EQ(t.Value(L"HKCU\\a b", L"Blob"), L"hex:10,255,16,");
    EXPECT_FALSE(t.Has(L"HKCU\\a b\\Gone"));
}

TEST(Registrar, SyntaxErrorsWriteNothing) {
    const struct {
        const wchar_t* script;
        const char* reason;
    } cases[] = {
        {L"HKCR { A = s 'x' ", "missing brace"},
        {L"HKXX { A }", "unknown root"},
        {L"HKCR { A = q 'x' }", "unknown value type"},
        {L"HKCR { A = s 'x }", "unterminated quote"},
        {L"HKCR { val = s 'x' }", "value without name"},
        {L"HKCR { A = d 12z }", "bad number"},
        {L"HKCR { A = d 4294967296 }", "number too big"},
        {L"HKCR { A = b '0' }", "odd hex"},
        {L"HKCR { A = s '%NOPE%' }", "unknown replacement"},
        {L"HKCR { 'a\\b' }", "backslash in a name"},
        {L"HKCR { B } }", "stray brace"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        MemoryTarget t;
        std::wstring error;
        EXPECT_EQ(RunRegistrarScript(c.script, {}, true, t, &error), E_INVALIDARG);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(t.writes, 0);
    }
}

TEST(Registrar, ScriptTextFromResourceBytes) {
    const std::uint8_t utf8[] = {0xEF, 0xBB, 0xBF, 'H', 'K', 0xC3, 0xA9};
    EXPECT_EQ(RegistrarScriptText(utf8, sizeof utf8), L"HK\u00E9");
    const std::uint8_t utf16[] = {0xFF, 0xFE, 'H', 0, 0xE9, 0};
    EXPECT_EQ(RegistrarScriptText(utf16, sizeof utf16), L"H\u00E9");
}

}  // namespace
