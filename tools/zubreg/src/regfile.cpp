#include "regfile.h"

#include <cstdio>
#include <cwchar>
#include <vector>

#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::zubreg {

using namespace platform;

namespace {

constexpr const wchar_t* kHeader = L"Windows Registry Editor Version 5.00";
constexpr const wchar_t* kHeader4 = L"REGEDIT4";
constexpr std::size_t kLineWidth = 80;

// A reason of the parser's, in the user's language.
std::wstring Reason(const char* text) { return Utf8ToWide(text); }

std::wstring Quote(const std::wstring& s) {
    std::wstring out = L"\"";
    for (wchar_t c : s) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

std::wstring Hex2(std::uint8_t b) {
    wchar_t buf[4];
    std::swprintf(buf, 4, L"%02x", static_cast<unsigned>(b));
    return buf;
}

// hex bytes, wrapped as the registry editor wraps them ("  " after ",\").
std::wstring HexData(std::size_t prefixLength, const std::vector<std::uint8_t>& data) {
    std::wstring out;
    std::size_t column = prefixLength;
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += Hex2(data[i]);
        column += 2;
        if (i + 1 < data.size()) {
            out += L',';
            ++column;
            if (column > kLineWidth - 4) {
                out += L"\\\r\n  ";
                column = 2;
            }
        }
    }
    return out;
}

// A REG_SZ that a quoted text gives back exactly: one terminating zero, no
// other zero, whole characters.
bool QuotableString(const RegValue& v) {
    const auto& d = v.data;
    if (d.size() < 2 || d.size() % 2 != 0 || d[d.size() - 1] != 0 || d[d.size() - 2] != 0)
        return false;
    for (std::size_t i = 0; i + 2 < d.size(); i += 2) {
        if (d[i] == 0 && d[i + 1] == 0) return false;
    }
    std::wstring text = RegDataToString(d.data(), d.size());
    return StringToRegData(text, true) == d && text.find_first_of(L"\r\n") == std::wstring::npos;
}

std::wstring ValueLine(const std::wstring& name, const RegValue& v) {
    std::wstring line = name.empty() ? L"@=" : Quote(name) + L"=";
    if (v.type == ValueType::Sz && QuotableString(v)) {
        return line + Quote(RegDataToString(v.data.data(), v.data.size()));
    }
    if (v.type == ValueType::Dword && v.data.size() == 4) {
        wchar_t buf[16];
        std::uint32_t n = static_cast<std::uint32_t>(v.data[0]) |
                          static_cast<std::uint32_t>(v.data[1]) << 8 |
                          static_cast<std::uint32_t>(v.data[2]) << 16 |
                          static_cast<std::uint32_t>(v.data[3]) << 24;
        std::swprintf(buf, 16, L"dword:%08x", n);
        return line + buf;
    }
    if (v.type == ValueType::Binary) {
        line += L"hex:";
    } else {
        wchar_t buf[24];
        std::swprintf(buf, 24, L"hex(%x):", static_cast<unsigned>(v.type));
        line += buf;
    }
    return line + HexData(line.size(), v.data);
}

Error ExportTree(const RegKey& key, const std::wstring& path, std::wstring& text) {
    text += L"\r\n[" + path + L"]\r\n";
    std::wstring name;
    RegValue value;
    Error e;
    std::uint32_t i = 0;
    while ((e = RegEnumValue(key, i++, name, &value)) == kErrorSuccess)
        text += ValueLine(name, value) + L"\r\n";
    if (e != kErrorNoMoreItems) return e;
    i = 0;
    while ((e = RegEnumKey(key, i++, name)) == kErrorSuccess) {
        RegKey sub;
        Error se = RegOpenKey(key, name, kKeyRead, sub);
        if (se != kErrorSuccess) return se;
        if ((se = ExportTree(sub, path + L"\\" + name, text)) != kErrorSuccess) return se;
    }
    return e == kErrorNoMoreItems ? kErrorSuccess : e;
}

// Parsing state of one import.
class Parser {
public:
    explicit Parser(const std::wstring& text) { Split(text); }

    ImportResult Run() {
        ImportResult r;
        std::size_t i = 0;
        while (i < lines_.size() && Trim(lines_[i]).empty()) ++i;
        std::wstring header = i < lines_.size() ? Trim(lines_[i]) : L"";
        if (header != kHeader && header != kHeader4)
            return Fail(r, static_cast<int>(i + 1), kErrorInvalidData,
                        Reason(zub::tr("not a registry file")));
        ++i;
        while (i < lines_.size()) {
            int lineNo = static_cast<int>(i + 1);
            std::wstring line = Trim(lines_[i++]);
            // A value's hex data continues on the next line after a "\".
            while (!line.empty() && line.back() == L'\\' && i < lines_.size()) {
                line.pop_back();
                line += Trim(lines_[i++]);
            }
            if (line.empty() || line[0] == L';') continue;
            Error e;
            std::wstring why;
            if (line[0] == L'[') {
                e = KeyLine(line, why);
            } else {
                e = ValueLineIn(line, why);
            }
            if (e != kErrorSuccess) return Fail(r, lineNo, e, why);
        }
        return r;
    }

private:
    static ImportResult& Fail(ImportResult& r, int line, Error e, const std::wstring& why) {
        r.error = e;
        r.line = line;
        r.message = why.empty() ? zub::LibraryText(ErrorText(e)) : why;
        return r;
    }

    static std::wstring Trim(const std::wstring& s) {
        auto b = s.find_first_not_of(L" \t");
        if (b == std::wstring::npos) return {};
        auto e = s.find_last_not_of(L" \t\r");
        return s.substr(b, e - b + 1);
    }

    void Split(const std::wstring& text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            auto end = text.find(L'\n', start);
            if (end == std::wstring::npos) end = text.size();
            lines_.push_back(text.substr(start, end - start));
            start = end + 1;
        }
    }

    Error KeyLine(const std::wstring& line, std::wstring& why) {
        if (line.back() != L']') {
            why = Reason(zub::tr("a key line must end with ]"));
            return kErrorInvalidData;
        }
        bool remove = line.size() > 1 && line[1] == L'-';
        std::wstring path = line.substr(remove ? 2 : 1, line.size() - (remove ? 3 : 2));
        key_.Close();
        RootKey root;
        std::wstring sub;
        if (!SplitKeyPath(path, root, sub)) {
            why = Reason(zub::trf("unknown root in [%s]", WideToUtf8(path).c_str()).c_str());
            return kErrorInvalidData;
        }
        if (remove) {
            if (sub.empty()) {
                why = Reason(zub::tr("a root cannot be deleted"));
                return kErrorAccessDenied;
            }
            Error e = RegDeleteTree(root, sub);
            return e == kErrorFileNotFound ? kErrorSuccess : e;
        }
        return RegCreateKey(root, sub, kKeyAllAccess, key_);
    }

    static bool ParseQuoted(const std::wstring& s, std::size_t& pos, std::wstring& out) {
        if (pos >= s.size() || s[pos] != L'"') return false;
        out.clear();
        for (++pos; pos < s.size(); ++pos) {
            if (s[pos] == L'\\' && pos + 1 < s.size()) {
                out += s[++pos];
            } else if (s[pos] == L'"') {
                ++pos;
                return true;
            } else {
                out += s[pos];
            }
        }
        return false;
    }

    static bool ParseHex(const std::wstring& s, std::vector<std::uint8_t>& out) {
        out.clear();
        std::size_t i = 0;
        while (i < s.size()) {
            while (i < s.size() && (s[i] == L' ' || s[i] == L'\t')) ++i;
            if (i >= s.size()) break;
            std::size_t start = i;
            while (i < s.size() && std::iswxdigit(static_cast<wint_t>(s[i]))) ++i;
            std::size_t len = i - start;
            if (len == 0 || len > 2) return false;
            out.push_back(
                static_cast<std::uint8_t>(std::wcstoul(s.substr(start, len).c_str(), nullptr, 16)));
            while (i < s.size() && (s[i] == L' ' || s[i] == L'\t')) ++i;
            if (i < s.size()) {
                if (s[i] != L',') return false;
                ++i;
            }
        }
        return true;
    }

    Error ValueLineIn(const std::wstring& line, std::wstring& why) {
        if (!key_.IsOpen()) {
            why = Reason(zub::tr("a value line outside a key"));
            return kErrorInvalidData;
        }
        std::size_t pos = 0;
        std::wstring name;
        if (line[0] == L'@') {
            pos = 1;
        } else if (!ParseQuoted(line, pos, name)) {
            why = Reason(zub::tr("bad value name"));
            return kErrorInvalidData;
        }
        while (pos < line.size() && line[pos] == L' ') ++pos;
        if (pos >= line.size() || line[pos] != L'=') {
            why = Reason(zub::tr("missing = after the value name"));
            return kErrorInvalidData;
        }
        ++pos;
        while (pos < line.size() && line[pos] == L' ') ++pos;
        std::wstring data = line.substr(pos);
        if (data == L"-") {
            Error e = RegDeleteValue(key_, name);
            return e == kErrorFileNotFound ? kErrorSuccess : e;
        }
        if (!data.empty() && data[0] == L'"') {
            std::wstring text;
            std::size_t p = 0;
            if (!ParseQuoted(data, p, text) || p != data.size()) {
                why = Reason(zub::tr("bad quoted text"));
                return kErrorInvalidData;
            }
            return RegSetString(key_, name, text);
        }
        if (data.rfind(L"dword:", 0) == 0) {
            std::wstring digits = data.substr(6);
            if (digits.empty() || digits.size() > 8 ||
                digits.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos) {
                why = Reason(zub::tr("bad dword"));
                return kErrorInvalidData;
            }
            return RegSetDword(
                key_, name, static_cast<std::uint32_t>(std::wcstoul(digits.c_str(), nullptr, 16)));
        }
        ValueType type = ValueType::Binary;
        std::size_t colon = data.find(L':');
        if (data.rfind(L"hex:", 0) == 0) {
            colon = 3;
        } else if (data.rfind(L"hex(", 0) == 0 && colon != std::wstring::npos && colon > 5 &&
                   data[colon - 1] == L')') {
            std::wstring number = data.substr(4, colon - 5);
            if (number.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos) {
                why = Reason(zub::tr("bad hex type"));
                return kErrorInvalidData;
            }
            type = static_cast<ValueType>(std::wcstoul(number.c_str(), nullptr, 16));
        } else {
            why = Reason(zub::tr("unknown value data"));
            return kErrorInvalidData;
        }
        std::vector<std::uint8_t> bytes;
        if (!ParseHex(data.substr(colon + 1), bytes)) {
            why = Reason(zub::tr("bad hex data"));
            return kErrorInvalidData;
        }
        return RegSetValue(key_, name, type, bytes.data(),
                           static_cast<std::uint32_t>(bytes.size()));
    }

    std::vector<std::wstring> lines_;
    RegKey key_;
};

}  // namespace

bool SplitKeyPath(const std::wstring& path, RootKey& root, std::wstring& subKey) {
    auto slash = path.find(L'\\');
    std::wstring rootName = path.substr(0, slash);
    if (!RootKeyFromName(rootName, root)) return false;
    subKey = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    return true;
}

Error OpenKeyPath(const std::wstring& path, RegAccess access, RegKey& key, bool create) {
    RootKey root;
    std::wstring sub;
    if (!SplitKeyPath(path, root, sub)) return kErrorFileNotFound;
    return create ? RegCreateKey(root, sub, access, key) : RegOpenKey(root, sub, access, key);
}

Error ExportKey(const std::wstring& path, std::wstring& text) {
    RegKey key;
    Error e = OpenKeyPath(path, kKeyRead, key, false);
    if (e != kErrorSuccess) return e;
    RootKey root;
    std::wstring sub;
    SplitKeyPath(path, root, sub);
    while (!sub.empty() && sub.back() == L'\\') sub.pop_back();
    std::wstring full = RootKeyName(root) + (sub.empty() ? L"" : L"\\" + sub);
    text = std::wstring(kHeader) + L"\r\n";
    if ((e = ExportTree(key, full, text)) != kErrorSuccess) return e;
    text += L"\r\n";
    return kErrorSuccess;
}

ImportResult ImportText(const std::wstring& text) { return Parser(text).Run(); }

std::wstring DecodeRegFile(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string units;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        return Utf16ToWide(units);
    }
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return Utf8ToWide(std::string_view(bytes).substr(3));
    return Utf8ToWide(bytes);
}

std::wstring TypeName(ValueType type) {
    switch (type) {
        case ValueType::None:
            return L"REG_NONE";
        case ValueType::Sz:
            return L"REG_SZ";
        case ValueType::ExpandSz:
            return L"REG_EXPAND_SZ";
        case ValueType::Binary:
            return L"REG_BINARY";
        case ValueType::Dword:
            return L"REG_DWORD";
        case ValueType::DwordBigEndian:
            return L"REG_DWORD_BIG_ENDIAN";
        case ValueType::Link:
            return L"REG_LINK";
        case ValueType::MultiSz:
            return L"REG_MULTI_SZ";
        case ValueType::Qword:
            return L"REG_QWORD";
    }
    return L"REG_" + std::to_wstring(static_cast<std::uint32_t>(type));
}

std::wstring DataText(const RegValue& value) {
    const auto& d = value.data;
    switch (value.type) {
        case ValueType::Sz:
        case ValueType::ExpandSz:
            return RegDataToString(d.data(), d.size());
        case ValueType::MultiSz: {
            std::wstring out;
            for (const auto& item : RegDataToMultiString(d.data(), d.size())) {
                out += (out.empty() ? L"" : L"\\0") + item;
            }
            return out;
        }
        case ValueType::Dword:
            if (d.size() == 4) {
                wchar_t buf[16];
                std::uint32_t n =
                    static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
                    static_cast<std::uint32_t>(d[2]) << 16 | static_cast<std::uint32_t>(d[3]) << 24;
                std::swprintf(buf, 16, L"0x%x", n);
                return buf;
            }
            break;
        default:
            break;
    }
    std::wstring out;
    for (auto b : d) out += Hex2(b);
    return out;
}

}  // namespace zub::zubreg
