#include "regfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zub/text.h"
#include "zubtest/sandbox.h"

namespace zub::zubreg {
namespace {

using namespace platform;
using zub::testsupport::Sandbox;

RegKey Create(const std::wstring& path) {
    RegKey key;
    EXPECT_EQ(OpenKeyPath(path, kKeyAllAccess, key, true), kErrorSuccess) << WideToUtf8(path);
    return key;
}

void Set(const RegKey& key, const std::wstring& name, ValueType type,
         const std::vector<std::uint8_t>& data) {
    ASSERT_EQ(RegSetValue(key, name, type, data.data(), static_cast<std::uint32_t>(data.size())),
              kErrorSuccess);
}

// Every value under `path`, with its key path, in enumeration order.
std::vector<std::pair<std::wstring, RegValue>> Snapshot(const std::wstring& path) {
    std::vector<std::pair<std::wstring, RegValue>> all;
    RegKey key;
    if (OpenKeyPath(path, kKeyRead, key, false) != kErrorSuccess) return all;
    std::wstring name;
    RegValue value;
    for (std::uint32_t i = 0; RegEnumValue(key, i, name, &value) == kErrorSuccess; ++i) {
        all.emplace_back(path + L"|" + name, value);
    }
    for (std::uint32_t i = 0; RegEnumKey(key, i, name) == kErrorSuccess; ++i) {
        all.emplace_back(path + L"\\" + name, RegValue{});
        auto sub = Snapshot(path + L"\\" + name);
        all.insert(all.end(), sub.begin(), sub.end());
    }
    return all;
}

TEST(RegFile, ExportWritesTheRegistryEditorFormat) {
    Sandbox box;
    RegKey key = Create(L"HKLM\\Software\\Co");
    ASSERT_EQ(RegSetString(key, L"", L"default"), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, L"path", L"C:\\a \"b\""), kErrorSuccess);
    ASSERT_EQ(RegSetDword(key, L"count", 31), kErrorSuccess);
    Set(key, L"bin", ValueType::Binary, {0x01, 0xAB});
    ASSERT_EQ(RegSetString(key, L"exp", L"%A%", ValueType::ExpandSz), kErrorSuccess);
    ASSERT_EQ(RegSetMultiString(key, L"multi", {L"a", L"b"}), kErrorSuccess);
    Set(key, L"none", ValueType::None, {});
    ASSERT_EQ(RegSetString(key, L"version", L"1.0", ValueType::Sz, false), kErrorSuccess);
    Create(L"HKLM\\Software\\Co\\Sub");

    std::wstring text;
    ASSERT_EQ(ExportKey(L"hklm\\Software\\Co", text), kErrorSuccess);
    EXPECT_EQ(text,
              L"Windows Registry Editor Version 5.00\r\n"
              L"\r\n[HKEY_LOCAL_MACHINE\\Software\\Co]\r\n"
              L"@=\"default\"\r\n"
              L"\"path\"=\"C:\\\\a \\\"b\\\"\"\r\n"
              L"\"count\"=dword:0000001f\r\n"
              L"\"bin\"=hex:01,ab\r\n"
              L"\"exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
              L"\"multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
              L"\"none\"=hex(0):\r\n"
              L"\"version\"=hex(1):31,00,2e,00,30,00\r\n"
              L"\r\n[HKEY_LOCAL_MACHINE\\Software\\Co\\Sub]\r\n"
              L"\r\n");
    EXPECT_EQ(ExportKey(L"HKLM\\Software\\Missing", text), kErrorFileNotFound);
    EXPECT_EQ(ExportKey(L"HKXX\\Software", text), kErrorFileNotFound);
}

TEST(RegFile, ExportThenImportRestoresEveryValueByteForByte) {
    Sandbox box;
    RegKey key = Create(L"HKCU\\Software\\Round");
    std::vector<std::uint8_t> longBinary;
    for (int i = 0; i < 300; ++i) longBinary.push_back(static_cast<std::uint8_t>(i));
    Set(key, L"long", ValueType::Binary, longBinary);
    ASSERT_EQ(RegSetString(key, L"\u4e2d \"q\" \\ name", L"\u6587 text \\ \"x\""), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, L"no zero", L"abc", ValueType::Sz, false), kErrorSuccess);
    ASSERT_EQ(RegSetString(key, L"two lines", L"a\r\nb"), kErrorSuccess);
    Set(key, L"odd", ValueType::Sz, {0x41, 0x00, 0x42});
    Set(key, L"qword", ValueType::Qword, {1, 2, 3, 4, 5, 6, 7, 8});
    Set(key, L"type 42", static_cast<ValueType>(0x42), {9});
    ASSERT_EQ(RegSetDword(key, L"max", 0xFFFFFFFF), kErrorSuccess);
    ASSERT_EQ(RegSetMultiString(key, L"multi", {L"one", L"\u4e8c"}), kErrorSuccess);
    Set(key, L"", ValueType::None, {});
    RegKey deep = Create(L"HKCU\\Software\\Round\\A\\B\\Deep Key");
    ASSERT_EQ(RegSetString(deep, L"x", L"y"), kErrorSuccess);
    Create(L"HKCU\\Software\\Round\\Empty");

    auto before = Snapshot(L"HKCU\\Software\\Round");
    std::wstring text;
    ASSERT_EQ(ExportKey(L"HKCU\\Software\\Round", text), kErrorSuccess);
    ASSERT_EQ(RegDeleteTree(RootKey::CurrentUser, L"Software\\Round"), kErrorSuccess);
    ImportResult r = ImportText(text);
    ASSERT_EQ(r.error, kErrorSuccess) << r.line << " " << WideToUtf8(r.message);
    EXPECT_EQ(Snapshot(L"HKCU\\Software\\Round"), before);
    std::wstring again;
    ASSERT_EQ(ExportKey(L"HKCU\\Software\\Round", again), kErrorSuccess);
    EXPECT_EQ(again, text);
    // Long hex data is wrapped.
    EXPECT_NE(text.find(L",\\\r\n  "), std::wstring::npos);
}

TEST(RegFile, ImportsRegistryEditorFilesWithDeletesAndComments) {
    Sandbox box;
    RegKey old = Create(L"HKLM\\Software\\Old\\Child");
    RegKey keep = Create(L"HKLM\\Software\\Keep");
    ASSERT_EQ(RegSetString(keep, L"gone", L"x"), kErrorSuccess);
    ASSERT_EQ(RegSetString(keep, L"stays", L"x"), kErrorSuccess);
    std::wstring text =
        L"Windows Registry Editor Version 5.00\r\n\r\n"
        L"; a comment\r\n"
        L"[-HKEY_LOCAL_MACHINE\\Software\\Old]\r\n\r\n"
        L"[-HKEY_LOCAL_MACHINE\\Software\\NeverThere]\r\n"
        L"[HKEY_LOCAL_MACHINE\\Software\\Keep]\r\n"
        L"\"gone\"=-\r\n"
        L"\"bin\"=hex:01,02,\\\r\n"
        L"  03,04\r\n"
        L"\"dw\" = dword:0000ffff\r\n"
        L"[HKEY_CLASSES_ROOT\\VaultAuto.CoDoc]\r\n"
        L"@=\"CoDoc Class\"\r\n";
    // As the registry editor writes it: UTF-16LE with a byte-order mark.
    std::string bytes = "\xFF\xFE";
    for (char16_t c : WideToUtf16(text)) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    ImportResult r = ImportText(DecodeRegFile(bytes));
    ASSERT_EQ(r.error, kErrorSuccess) << r.line << " " << WideToUtf8(r.message);
    EXPECT_FALSE(RegKeyExists(RootKey::LocalMachine, L"Software\\Old"));
    RegValue v;
    EXPECT_EQ(RegQueryValue(keep, L"gone", v), kErrorFileNotFound);
    EXPECT_EQ(RegQueryValue(keep, L"stays", v), kErrorSuccess);
    ASSERT_EQ(RegQueryValue(keep, L"bin", v), kErrorSuccess);
    EXPECT_EQ(v.data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    std::uint32_t dw = 0;
    ASSERT_EQ(RegGetDword(keep, L"dw", dw), kErrorSuccess);
    EXPECT_EQ(dw, 0xFFFFu);
    // HKCR writes new keys to the machine's classes.
    EXPECT_TRUE(RegKeyExists(RootKey::LocalMachine, L"Software\\Classes\\VaultAuto.CoDoc"));
    EXPECT_EQ(DecodeRegFile("\xEF\xBB\xBFREGEDIT4"), L"REGEDIT4");
}

TEST(RegFile, BadLinesStopTheImportAtTheirLine) {
    Sandbox box;
    struct Case {
        std::wstring body;
        int line;
        Error error;
    };
    const std::wstring h = L"Windows Registry Editor Version 5.00\n";
    const Case cases[] = {
        {L"REGEDIT5\n[HKEY_CURRENT_USER\\A]\n", 1, kErrorInvalidData},
        {h + L"\"v\"=\"outside a key\"\n", 2, kErrorInvalidData},
        {h + L"[HKEY_NOWHERE\\A]\n", 2, kErrorInvalidData},
        {h + L"[HKEY_CURRENT_USER\\A\n", 2, kErrorInvalidData},
        {h + L"[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n", 3, kErrorInvalidData},
        {h + L"[HKEY_CURRENT_USER\\A]\n\"v\"=hex:1,2x\n", 3, kErrorInvalidData},
        {h + L"[HKEY_CURRENT_USER\\A]\n\"v\"=\"unterminated\n", 3, kErrorInvalidData},
        {h + L"[HKEY_CURRENT_USER\\A]\n\"v\"=text\n", 3, kErrorInvalidData},
        {h + L"[HKEY_CURRENT_USER\\A]\n\"v\" \"x\"\n", 3, kErrorInvalidData},
        {h + L"[HKEY_CURRENT_USER\\A]\n\"ok\"=\"1\"\n[-HKEY_CURRENT_USER]\n", 4,
         kErrorAccessDenied},
    };
    for (const auto& c : cases) {
        ImportResult r = ImportText(c.body);
        EXPECT_EQ(r.error, c.error) << WideToUtf8(c.body);
        EXPECT_EQ(r.line, c.line) << WideToUtf8(c.body);
        EXPECT_FALSE(r.message.empty());
    }
    // What came before the bad line stays.
    RegKey a;
    ASSERT_EQ(OpenKeyPath(L"HKCU\\A", kKeyRead, a, false), kErrorSuccess);
    std::wstring ok;
    EXPECT_EQ(RegGetString(a, L"ok", ok), kErrorSuccess);
}

TEST(RegFile, ValuesAsTheListShowsThem) {
    struct Case {
        RegValue value;
        const wchar_t* type;
        const wchar_t* text;
    };
    const Case cases[] = {
        {{ValueType::Sz, StringToRegData(L"abc", false)}, L"REG_SZ", L"abc"},
        {{ValueType::ExpandSz, StringToRegData(L"%X%", true)}, L"REG_EXPAND_SZ", L"%X%"},
        {{ValueType::Dword, {0x1F, 0, 0, 0}}, L"REG_DWORD", L"0x1f"},
        {{ValueType::MultiSz, MultiStringToRegData({L"a", L"b"})}, L"REG_MULTI_SZ", L"a\\0b"},
        {{ValueType::Binary, {0x0A, 0xFF}}, L"REG_BINARY", L"0aff"},
        {{ValueType::None, {}}, L"REG_NONE", L""},
        {{static_cast<ValueType>(0x42), {1}}, L"REG_66", L"01"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TypeName(c.value.type), c.type);
        EXPECT_EQ(DataText(c.value), c.text);
    }
}

}  // namespace
}  // namespace zub::zubreg
