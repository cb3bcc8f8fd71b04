#include "procedurecall.h"

#include <sqlite3.h>

#include <cerrno>
#include <cwchar>
#include <cwctype>

#include "dbcore/sqliteerror.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace ZUBDB {
namespace {

bool IsSpace(wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; }
bool IsNameStart(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
}
bool IsNameChar(wchar_t c) { return IsNameStart(c) || (c >= L'0' && c <= L'9'); }

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    std::size_t n = std::wcslen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return true;
}

std::wstring Trim(std::wstring s) {
    while (!s.empty() && IsSpace(s.back())) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    return s.substr(i);
}

[[noreturn]] void Malformed(const std::wstring& name, const std::wstring& rest,
                            const std::string& why) {
    throw SqliteError(SQLITE_ERROR,
                      zub::Format(ZUB_N_("cannot read the arguments of procedure %s: %s"),
                                  zub::WideToUtf8(name).c_str(), why.c_str()),
                      zub::WideToUtf8(name + L" " + rest));
}

}  // namespace

std::optional<ProcedureCall> ProcedureCall::Split(const std::wstring& sql) {
    std::size_t i = 0;
    auto word = [&]() {
        while (i < sql.size() && IsSpace(sql[i])) ++i;
        std::size_t start = i;
        if (i < sql.size() && IsNameStart(sql[i]))
            while (i < sql.size() && IsNameChar(sql[i])) ++i;
        return sql.substr(start, i - start);
    };
    std::wstring name = word();
    if (EqualsIgnoringCase(name, L"exec") || EqualsIgnoringCase(name, L"execute")) name = word();
    if (name.empty()) return std::nullopt;
    if (i < sql.size() && !IsSpace(sql[i]) && sql[i] != L';') return std::nullopt;
    ProcedureCall call;
    call.name_ = name;
    call.rest_ = Trim(sql.substr(i));
    while (!call.rest_.empty() && call.rest_.back() == L';')
        call.rest_ = Trim(call.rest_.substr(0, call.rest_.size() - 1));
    return call;
}

std::vector<DBValue> ProcedureCall::Arguments(const QVParams& params) const {
    std::vector<DBValue> args;
    std::size_t nextParam = 0;
    std::size_t i = 0;
    const std::wstring& s = rest_;
    auto skipSpace = [&] {
        while (i < s.size() && IsSpace(s[i])) ++i;
    };
    if (Trim(s).empty()) {
        if (!params.empty())
            Malformed(name_, s, ZUB_N_("values were given but the call has no \"?\""));
        return args;
    }
    for (;;) {
        skipSpace();
        if (i >= s.size()) Malformed(name_, s, ZUB_N_("an argument is missing"));
        wchar_t c = s[i];
        if (c == L'?') {
            ++i;
            if (nextParam >= params.size())
                Malformed(name_, s,
                          zub::Format(ZUB_N_("more \"?\" than values (%lu)"),
                                      static_cast<unsigned long>(params.size())));
            const QVParam& p = params[nextParam++];
            if (p.isText && p.raw)
                Malformed(name_, s, ZUB_N_("an SQL expression cannot be a procedure argument"));
            if (p.isText)
                args.emplace_back(p.textValue);
            else
                args.emplace_back(p.intValue);
        } else if (c == L'\'' ||
                   ((c == L'N' || c == L'n') && i + 1 < s.size() && s[i + 1] == L'\'')) {
            if (c != L'\'') ++i;
            ++i;
            std::wstring text;
            for (;;) {
                if (i >= s.size()) Malformed(name_, s, ZUB_N_("unterminated text"));
                if (s[i] == L'\'') {
                    if (i + 1 < s.size() && s[i + 1] == L'\'') {
                        text += L'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += s[i++];
            }
            args.emplace_back(std::move(text));
        } else {
            std::size_t start = i;
            while (i < s.size() && s[i] != L',' && !IsSpace(s[i])) ++i;
            std::wstring token = s.substr(start, i - start);
            if (EqualsIgnoringCase(token, L"null")) {
                args.emplace_back(std::monostate{});
            } else {
                wchar_t* end = nullptr;
                errno = 0;
                long long v = std::wcstoll(token.c_str(), &end, 10);
                if (!token.empty() && *end == L'\0' && errno == 0) {
                    args.emplace_back(v);
                } else {
                    double d = token.empty() ? 0.0 : std::wcstod(token.c_str(), &end);
                    if (token.empty() || *end != L'\0')
                        Malformed(name_, s,
                                  zub::Format(ZUB_N_("\"%s\" is not a value"),
                                              zub::WideToUtf8(token).c_str()));
                    args.emplace_back(d);
                }
            }
        }
        skipSpace();
        if (i >= s.size()) break;
        if (s[i] != L',') Malformed(name_, s, ZUB_N_("expected \",\" between arguments"));
        ++i;
    }
    if (nextParam != params.size())
        Malformed(name_, s,
                  zub::Format(ZUB_N_("%lu values given for %lu \"?\""),
                              static_cast<unsigned long>(params.size()),
                              static_cast<unsigned long>(nextParam)));
    return args;
}

}  // namespace ZUBDB
