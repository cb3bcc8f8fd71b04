#include <zub/com/registrar.h>

#include <zub/text.h>

#include <cwctype>

namespace zub::com {

namespace {

enum class Flag { Plain, NoRemove, ForceRemove, Delete };

struct ValueSpec {
    enum Kind { None, String, Dword, Binary } kind = None;
    std::wstring text;
    std::uint32_t dword = 0;
    std::vector<std::uint8_t> bytes;
};

struct Node {
    bool isValue = false;
    Flag flag = Flag::Plain;
    std::wstring name;
    ValueSpec value;
    std::vector<Node> children;
};

struct Root {
    std::wstring root;
    std::vector<Node> children;
};

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

struct Token {
    enum Kind { End, Open, Close, Equals, Word } kind = End;
    std::wstring text;
    bool quoted = false;
    int line = 0;
};

class Parser {
public:
    Parser(std::wstring_view text, const Replacements& repl) : s_(text), repl_(repl) {}

    std::vector<Root> Parse() {
        std::vector<Root> roots;
        for (Token t = Next(); t.kind != Token::End; t = Next()) {
            if (t.kind != Token::Word) Fail(t, "a root key expected");
            Root r;
            r.root = RootName(t);
            Expect(Token::Open, "'{' expected after the root key");
            r.children = Body();
            roots.push_back(std::move(r));
        }
        return roots;
    }

private:
    [[noreturn]] void Fail(const Token& t, const std::string& what) {
        throw RegistrarSyntaxError(
            "line " + std::to_string(t.line) + ": " + what +
            (t.kind == Token::Word ? " near '" + WideToUtf8(t.text) + "'" : std::string()));
    }

    std::wstring RootName(const Token& t) {
        static constexpr std::pair<const wchar_t*, const wchar_t*> kRoots[] = {
            {L"HKCR", L"HKCR"}, {L"HKEY_CLASSES_ROOT", L"HKCR"},
            {L"HKCU", L"HKCU"}, {L"HKEY_CURRENT_USER", L"HKCU"},
            {L"HKLM", L"HKLM"}, {L"HKEY_LOCAL_MACHINE", L"HKLM"},
            {L"HKU", L"HKU"},   {L"HKEY_USERS", L"HKU"},
            {L"HKCC", L"HKCC"}, {L"HKEY_CURRENT_CONFIG", L"HKCC"},
        };
        for (const auto& [name, canonical] : kRoots)
            if (EqualsNoCase(t.text, name)) return canonical;
        Fail(t, "unknown root key");
    }

    void Expect(Token::Kind k, const char* what) {
        Token t = Next();
        if (t.kind != k) Fail(t, what);
    }

    // Entries up to the closing brace.
    std::vector<Node> Body() {
        std::vector<Node> nodes;
        for (;;) {
            Token t = Next();
            if (t.kind == Token::Close) return nodes;
            if (t.kind != Token::Word) Fail(t, "a key name or '}' expected");
            nodes.push_back(Entry(t));
        }
    }

    Node Entry(Token t) {
        Node n;
        if (!t.quoted && EqualsNoCase(t.text, L"val")) {
            n.isValue = true;
            Token name = Next();
            if (name.kind != Token::Word) Fail(name, "a value name expected");
            n.name = name.text;
            Expect(Token::Equals, "'=' expected after the value name");
            n.value = Value();
            return n;
        }
        if (!t.quoted) {
            if (EqualsNoCase(t.text, L"NoRemove")) n.flag = Flag::NoRemove;
            if (EqualsNoCase(t.text, L"ForceRemove")) n.flag = Flag::ForceRemove;
            if (EqualsNoCase(t.text, L"Delete")) n.flag = Flag::Delete;
            if (n.flag != Flag::Plain) {
                t = Next();
                if (t.kind != Token::Word) Fail(t, "a key name expected");
            }
        }
        if (t.text.empty()) Fail(t, "empty key name");
        if (t.text.find(L'\\') != std::wstring::npos) Fail(t, "'\\' in a key name");
        n.name = t.text;
        Token after = Peek();
        if (after.kind == Token::Equals) {
            Next();
            n.value = Value();
            after = Peek();
        }
        if (after.kind == Token::Open) {
            Next();
            n.children = Body();
        }
        return n;
    }

    ValueSpec Value() {
        Token type = Next();
        Token data = Next();
        if (type.kind != Token::Word || type.quoted) Fail(type, "a value type (s, d, b) expected");
        if (data.kind != Token::Word) Fail(data, "a value expected");
        ValueSpec v;
        if (EqualsNoCase(type.text, L"s")) {
            v.kind = ValueSpec::String;
            v.text = data.text;
        } else if (EqualsNoCase(type.text, L"d")) {
            v.kind = ValueSpec::Dword;
            std::string digits = WideToUtf8(data.text);
            int base = 10;
            std::size_t start = 0;
            if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
                base = 16, start = 2;
            if (start >= digits.size()) Fail(data, "a number expected");
            unsigned long long n = 0;
            for (std::size_t i = start; i < digits.size(); ++i) {
                char c = digits[i];
                int d = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : 99;
                if (d >= base) Fail(data, "a number expected");
                n = n * static_cast<unsigned>(base) + static_cast<unsigned>(d);
                if (n > 0xFFFFFFFFull) Fail(data, "number out of range");
            }
            v.dword = static_cast<std::uint32_t>(n);
        } else if (EqualsNoCase(type.text, L"b")) {
            v.kind = ValueSpec::Binary;
            std::wstring hex;
            for (wchar_t c : data.text)
                if (!std::iswspace(static_cast<wint_t>(c))) hex.push_back(c);
            if (hex.size() % 2) Fail(data, "odd number of hex digits");
            for (std::size_t i = 0; i < hex.size(); i += 2) {
                auto digit = [&](wchar_t c) {
                    if (c >= L'0' && c <= L'9') return c - L'0';
                    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
                    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
                    Fail(data, "a hex digit expected");
                };
                v.bytes.push_back(
                    static_cast<std::uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
            }
        } else {
            Fail(type, "unknown value type");
        }
        return v;
    }

    Token Peek() {
        std::size_t pos = pos_;
        int line = line_;
        Token t = Next();
        pos_ = pos;
        line_ = line;
        return t;
    }

    Token Next() {
        while (pos_ < s_.size() && std::iswspace(static_cast<wint_t>(s_[pos_]))) {
            if (s_[pos_] == L'\n') ++line_;
            ++pos_;
        }
        Token t;
        t.line = line_;
        if (pos_ >= s_.size()) return t;
        wchar_t c = s_[pos_];
        // A brace stands alone; "{GUID}" is a name.
        bool alone = pos_ + 1 >= s_.size() || std::iswspace(static_cast<wint_t>(s_[pos_ + 1])) ||
                     s_[pos_ + 1] == L'{' || s_[pos_ + 1] == L'}';
        if ((c == L'{' && alone) || c == L'}' || c == L'=') {
            ++pos_;
            t.kind = c == L'{' ? Token::Open : c == L'}' ? Token::Close : Token::Equals;
            return t;
        }
        t.kind = Token::Word;
        std::wstring raw;
        if (c == L'\'') {
            t.quoted = true;
            ++pos_;
            for (;;) {
                if (pos_ >= s_.size()) Fail(t, "unterminated quoted text");
                wchar_t q = s_[pos_++];
                if (q == L'\n') ++line_;
                if (q == L'\'') {
                    if (pos_ < s_.size() && s_[pos_] == L'\'') {
                        raw.push_back(L'\'');
                        ++pos_;
                        continue;
                    }
                    break;
                }
                raw.push_back(q);
            }
        } else {
            while (pos_ < s_.size()) {
                wchar_t w = s_[pos_];
                if (std::iswspace(static_cast<wint_t>(w)) || w == L'=' || w == L'\'') break;
                raw.push_back(w);
                ++pos_;
            }
        }
        t.text = Expand(raw, t);
        return t;
    }

    std::wstring Expand(const std::wstring& raw, const Token& t) {
        std::wstring out;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != L'%') {
                out.push_back(raw[i]);
                continue;
            }
            std::size_t end = raw.find(L'%', i + 1);
            if (end == std::wstring::npos) Fail(t, "unterminated %replacement%");
            std::wstring name = raw.substr(i + 1, end - i - 1);
            if (name.empty()) {
                out.push_back(L'%');
            } else {
                auto it = repl_.end();
                for (auto r = repl_.begin(); r != repl_.end(); ++r)
                    if (EqualsNoCase(r->first, name)) it = r;
                if (it == repl_.end()) Fail(t, "unknown replacement %" + WideToUtf8(name) + "%");
                out += it->second;
            }
            i = end;
        }
        return out;
    }

    std::wstring_view s_;
    const Replacements& repl_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

std::wstring Join(std::wstring_view parent, std::wstring_view name) {
    if (parent.empty()) return std::wstring(name);
    return std::wstring(parent) + L"\\" + std::wstring(name);
}

HRESULT SetValue(RegistrarTarget& t, std::wstring_view root, std::wstring_view path,
                 std::wstring_view name, const ValueSpec& v) {
    switch (v.kind) {
        case ValueSpec::String:
            return t.SetString(root, path, name, v.text);
        case ValueSpec::Dword:
            return t.SetDword(root, path, name, v.dword);
        case ValueSpec::Binary:
            return t.SetBinary(root, path, name, v.bytes);
        case ValueSpec::None:
            break;
    }
    return S_OK;
}

HRESULT Register(RegistrarTarget& t, std::wstring_view root, std::wstring_view parent,
                 const Node& n) {
    if (n.isValue) return SetValue(t, root, parent, n.name, n.value);
    std::wstring path = Join(parent, n.name);
    HRESULT hr = S_OK;
    if (n.flag == Flag::Delete) return t.DeleteTree(root, path);
    if (n.flag == Flag::ForceRemove && FAILED(hr = t.DeleteTree(root, path))) return hr;
    if (FAILED(hr = t.CreateKey(root, path))) return hr;
    if (FAILED(hr = SetValue(t, root, path, L"", n.value))) return hr;
    for (const Node& c : n.children)
        if (FAILED(hr = Register(t, root, path, c))) return hr;
    return S_OK;
}

HRESULT Unregister(RegistrarTarget& t, std::wstring_view root, std::wstring_view parent,
                   const Node& n) {
    if (n.isValue) return t.KeyExists(root, parent) ? t.DeleteValue(root, parent, n.name) : S_OK;
    if (n.flag == Flag::Delete) return S_OK;
    std::wstring path = Join(parent, n.name);
    if (!t.KeyExists(root, path)) return S_OK;
    if (n.flag == Flag::ForceRemove) return t.DeleteTree(root, path);
    HRESULT hr = S_OK;
    for (const Node& c : n.children)
        if (FAILED(hr = Unregister(t, root, path, c))) return hr;
    if (n.flag == Flag::NoRemove) return S_OK;
    // A key that still has subkeys belongs to someone else as well.
    if (t.HasSubKeys(root, path)) return S_OK;
    return t.DeleteTree(root, path);
}

}  // namespace

HRESULT RunRegistrarScript(std::wstring_view script, const Replacements& replacements,
                           bool registering, RegistrarTarget& target, std::wstring* error) {
    std::vector<Root> roots;
    try {
        roots = Parser(script, replacements).Parse();
    } catch (const RegistrarSyntaxError& e) {
        if (error) *error = Utf8ToWide(e.what());
        return E_INVALIDARG;
    }
    for (const Root& r : roots)
        for (const Node& n : r.children) {
            HRESULT hr =
                registering ? Register(target, r.root, L"", n) : Unregister(target, r.root, L"", n);
            if (FAILED(hr)) return hr;
        }
    return S_OK;
}

std::wstring RegistrarScriptText(const std::uint8_t* data, std::size_t size) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        std::u16string u;
        for (std::size_t i = 2; i + 1 < size; i += 2)
            u.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
        return Utf16ToWide(u);
    }
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return Utf8ToWide(text);
}

}  // namespace zub::com
