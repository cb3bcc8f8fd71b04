#include "zubcomapp.h"

#include <zub/com/automation.h>
#include <zub/com/comptr.h>
#include <zub/com/runtime.h>
#include <zub/com/typelib.h>
#include <zub/i18n.h>
#include <zub/platform/module.h>
#include <zub/text.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>

namespace zub::zubcom {

namespace {

using zub::com::Bstr;
using zub::com::ComPtr;
using zub::com::Variant;

const char* Usage() {
    return zub::tr(
        "usage: zubcom [OPTIONS] call PROGID MEMBER [ARG...] [; MEMBER [ARG...]]...\n"
        "       zubcom [OPTIONS] run SCRIPT\n"
        "       zubcom members PROGID\n"
        "       zubcom register MODULE | unregister MODULE\n"
        "\n"
        "Arguments: 42 is a long, 1.5 a double, #2024-01-31 12:00# a date, \"text\" or any\n"
        "other word a string, null a null string, empty nothing, $name a script variable.\n"
        "\n"
        "Script lines:\n"
        "  doc = new VaultAuto.CoDoc.1          create an object\n"
        "  ret = doc.connect sqlite:./s 0 QVData \"\"   call (or get) and keep the result\n"
        "  doc.FileName = \"a.prt\"               property put\n"
        "  doc.CheckOut /tmp/work                call, printing the result\n"
        "  print $ret                            print values\n"
        "Each call prints its result and its HRESULT with the status text. A method whose\n"
        "long result is named ret returns a status: any value but 0 is a failure.\n"
        "\n"
        "Options:\n"
        "  --quiet           print only failures and the values print asks for\n"
        "  --stop-on-error   stop at the first failure\n"
        "\n"
        "Exit status: 0 when every call succeeded, 1 when one failed, 2 for a usage or\n"
        "script syntax error.\n");
}

struct Options {
    bool quiet = false;
    bool stopOnError = false;
};

std::string Narrow(const std::wstring& w) { return zub::WideToNarrow(w); }

// An HRESULT's text from the COM runtime, in the user's language.
std::string StatusText(HRESULT hr) {
    return zub::LibraryText(zub::WideToUtf8(zub::com::HResultText(hr)));
}

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words; "..." keeps blanks, \" and \\ escape inside.
bool Tokenize(const std::string& line, std::vector<Token>* out, std::string* error) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        Token t;
        if (line[i] == '"') {
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\')) {
                    t.text.push_back(line[i++]);
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    t.text.push_back(c);
                }
            }
            if (!closed) return *error = zub::tr("unterminated quoted text"), false;
        } else if (line[i] == '#') {
            std::size_t end = line.find('#', i + 1);
            if (end == std::string::npos) return *error = zub::tr("unterminated #date#"), false;
            t.text = line.substr(i, end - i + 1);
            i = end + 1;
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
                t.text.push_back(line[i++]);
        }
        out->push_back(std::move(t));
    }
    return true;
}

std::string Quote(const std::wstring& w) {
    std::string s = Narrow(w), q = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') q.push_back('\\');
        q.push_back(c);
    }
    return q + "\"";
}

std::string Show(const VARIANT& v) {
    switch (v.vt) {
        case VT_EMPTY:
            return zub::tr("(empty)");
        case VT_NULL:
            return zub::tr("(null)");
        case VT_BSTR:
            return Quote(zub::com::BstrToWide(v.bstrVal));
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return v.punkVal ? zub::tr("(object)") : zub::tr("(nothing)");
        case VT_ERROR:
            return zub::trf("(error %s)", Narrow(zub::com::HResultHex(v.scode)).c_str());
        default:
            return Narrow(zub::com::VariantText(v));
    }
}

class Session {
public:
    Session(std::ostream& out, std::ostream& err, Options options)
        : out_(out), err_(err), options_(options) {}
    ~Session() {
        vars_.clear();
        CoFreeUnusedLibraries();
    }

    bool failed() const { return failures_ > 0; }

    // Makes an argument from a word; false (with a message) when it names an
    // unknown variable or a bad date.
    bool Value(const Token& t, VARIANT* v) {
        VariantInit(v);
        const std::string& s = t.text;
        if (s.empty()) {
            v->vt = VT_BSTR;
            v->bstrVal = SysAllocString(u"");
            return true;
        }
        if (!t.quoted && s[0] == '$') {
            auto it = vars_.find(s.substr(1));
            if (it == vars_.end())
                return Complain(Where() + zub::trf("unknown variable %s", s.c_str())), false;
            return SUCCEEDED(VariantCopy(v, &it->second->get()));
        }
        if (!t.quoted && s == "null") return v->vt = VT_BSTR, true;
        if (!t.quoted && s == "empty") return true;
        if (!t.quoted && s.size() >= 2 && s.front() == '#' && s.back() == '#') {
            Variant text;
            text.get().vt = VT_BSTR;
            text.get().bstrVal = zub::com::MakeBstr(zub::Utf8ToWide(s.substr(1, s.size() - 2)));
            if (FAILED(VariantChangeType(v, &text.get(), 0, VT_DATE)))
                return Complain(Where() + zub::trf("not a date: %s", s.c_str())), false;
            return true;
        }
        if (!t.quoted && IsInteger(s)) {
            long long n = std::stoll(s);
            if (n >= INT32_MIN && n <= INT32_MAX) {
                v->vt = VT_I4;
                v->lVal = static_cast<LONG>(n);
                return true;
            }
        }
        if (!t.quoted && IsNumber(s)) {
            v->vt = VT_R8;
            v->dblVal = std::stod(s);
            return true;
        }
        v->vt = VT_BSTR;
        v->bstrVal = zub::com::MakeBstr(zub::Utf8ToWide(s));
        return true;
    }

    bool Create(const std::string& progId, ComPtr<IDispatch>* obj) {
        CLSID clsid{};
        std::u16string p = zub::WideToUtf16(zub::Utf8ToWide(progId));
        HRESULT hr = CLSIDFromProgID(p.c_str(), &clsid);
        if (SUCCEEDED(hr))
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  obj->putVoid());
        if (FAILED(hr)) {
            out_ << Where() << "new " << progId << " -> " << Status(hr) << "\n";
            ++failures_;
            return false;
        }
        return true;
    }

    // Calls (or gets, or with `put` sets) a member; prints the outcome.
    bool Call(IDispatch* obj, const std::string& echo, const std::string& member,
              const std::vector<Token>& args, bool put, VARIANT* result) {
        std::u16string name = zub::WideToUtf16(zub::Utf8ToWide(member));
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        HRESULT hr = obj->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (hr == DISP_E_UNKNOWNNAME) {
            err_ << Where() << zub::trf("%s: unknown name", name_.c_str()) << "\n";
            ++failures_;
            return false;
        }
        if (FAILED(hr)) return Report(echo, hr, nullptr, nullptr), false;
        std::vector<VARIANT> argv(args.size());
        struct Cleanup {
            std::vector<VARIANT>& v;
            ~Cleanup() {
                for (VARIANT& x : v) VariantClear(&x);
            }
        } cleanup{argv};
        for (std::size_t i = 0; i < args.size(); ++i)
            if (!Value(args[i], &argv[args.size() - 1 - i])) return ++failures_, false;
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS dp{argv.data(), put ? &putId : nullptr, static_cast<UINT>(argv.size()),
                      put ? 1u : 0u};
        EXCEPINFO ex{};
        UINT argErr = 0;
        Variant res;
        hr = obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                         put ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD | DISPATCH_PROPERTYGET, &dp,
                         put ? nullptr : &res, &ex, &argErr);
        std::string desc;
        if (hr == DISP_E_EXCEPTION) {
            if (ex.pfnDeferredFillIn) ex.pfnDeferredFillIn(&ex);
            hr = ex.scode ? ex.scode : MakeHr(0x80040000u | ex.wCode);
            desc = zub::LibraryText(zub::WideToUtf8(zub::com::BstrToWide(ex.bstrDescription)));
            while (!desc.empty() && (desc.back() == '\n' || desc.back() == '\r')) desc.pop_back();
            std::string source = Narrow(zub::com::BstrToWide(ex.bstrSource));
            if (!source.empty()) desc = zub::trf("%s (%s)", desc.c_str(), source.c_str());
            SysFreeString(ex.bstrDescription);
            SysFreeString(ex.bstrSource);
            SysFreeString(ex.bstrHelpFile);
        } else if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW ||
                   hr == DISP_E_PARAMNOTFOUND) {
            if (argErr < argv.size())
                desc = zub::trf("%s (argument %zu)", StatusText(hr).c_str(), argv.size() - argErr);
        }
        const bool status = !put && SUCCEEDED(hr) && ReturnsStatus(obj, id);
        if (status && res.get().vt == VT_I4 && res.get().lVal != 0) {
            const std::string failure = zub::trf("failed with status %ld", long{res.get().lVal});
            Report(echo, hr, &res.get(), &failure, true);
        } else {
            Report(echo, hr, put ? nullptr : &res.get(), desc.empty() ? nullptr : &desc);
        }
        if (SUCCEEDED(hr) && result) VariantCopy(result, &res.get());
        return SUCCEEDED(hr);
    }

    int RunCall(const std::vector<std::string>& args) {
        ComPtr<IDispatch> obj;
        if (!Create(args[0], &obj)) return 1;
        std::vector<Token> call;
        auto flush = [&] {
            if (call.empty()) return;
            std::vector<Token> rest(call.begin() + 1, call.end());
            name_ = call[0].text;
            Call(obj.get(), Echo(call), call[0].text, rest, false, nullptr);
            call.clear();
        };
        for (std::size_t i = 1; i < args.size() && !Stopped(); ++i) {
            if (args[i] == ";")
                flush();
            else
                call.push_back({args[i], false});
        }
        if (!Stopped()) flush();
        return failed() ? 1 : 0;
    }

    int RunScript(std::istream& in) {
        std::string line;
        for (int number = 1; !Stopped() && std::getline(in, line); ++number) {
            line_ = number;
            std::size_t first = line.find_first_not_of(" \t\r");
            if (first == std::string::npos || line[first] == '#') continue;  // blank or comment
            std::vector<Token> t;
            std::string error;
            if (!Tokenize(line, &t, &error)) {
                err_ << zub::trf("line %d: ", number) << error << "\n";
                return 2;
            }
            if (t.empty()) continue;
            if (!Statement(t, number)) return 2;
        }
        return failed() ? 1 : 0;
    }

    int Members(const std::string& progId) {
        ComPtr<IDispatch> obj;
        if (!Create(progId, &obj)) return 1;
        ComPtr<ITypeInfo> info;
        HRESULT hr = obj->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put());
        if (FAILED(hr)) return out_ << "GetTypeInfo -> " << Status(hr) << "\n", 1;
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) return 1;
        WORD count = attr->cFuncs;
        info->ReleaseTypeAttr(attr);
        for (UINT i = 0; i < count; ++i) {
            FUNCDESC* fd = nullptr;
            if (FAILED(info->GetFuncDesc(i, &fd))) continue;
            BSTR names[32] = {};
            UINT n = 0;
            info->GetNames(fd->memid, names, 32, &n);
            std::string member = n ? Narrow(zub::com::BstrToWide(names[0])) : "";
            out_ << fd->memid << "\t";
            if (fd->invkind == INVOKE_PROPERTYGET) {
                out_ << zub::tr("get") << "\t" << member << "\n";
            } else if (fd->invkind != INVOKE_FUNC) {
                out_ << zub::tr("put") << "\t" << zub::trf("%s = value", member.c_str()) << "\n";
            } else {
                std::string params, ret;
                for (SHORT p = 0; p < fd->cParams; ++p) {
                    std::string pn = static_cast<UINT>(p) + 1 < n
                                         ? Narrow(zub::com::BstrToWide(names[p + 1]))
                                         : zub::trf("arg%d", p + 1);
                    if (fd->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)
                        ret = " -> " + pn;
                    else
                        params += (params.empty() ? "" : ", ") + pn;
                }
                out_ << zub::tr("method") << "\t" << member << "(" << params << ")" << ret << "\n";
            }
            for (UINT p = 0; p < n; ++p) SysFreeString(names[p]);
            info->ReleaseFuncDesc(fd);
        }
        return 0;
    }

private:
    bool Stopped() const { return options_.stopOnError && failed(); }
    // "line 7: " inside a script, nothing for a command line.
    std::string Where() const { return line_ > 0 ? zub::trf("line %d: ", line_) : ""; }

    // The product's servers name a method's status result ret: 0 for
    // success, else the library's error number.
    static bool ReturnsStatus(IDispatch* obj, DISPID id) {
        ComPtr<ITypeInfo> info;
        if (FAILED(obj->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info) return false;
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) return false;
        const WORD count = attr->cFuncs;
        info->ReleaseTypeAttr(attr);
        bool status = false;
        for (UINT i = 0; i < count && !status; ++i) {
            FUNCDESC* fd = nullptr;
            if (FAILED(info->GetFuncDesc(i, &fd))) continue;
            if (fd->memid == id && fd->invkind == INVOKE_FUNC && fd->cParams > 0) {
                const ELEMDESC& last = fd->lprgelemdescParam[fd->cParams - 1];
                BSTR names[32] = {};
                UINT n = 0;
                info->GetNames(fd->memid, names, 32, &n);
                const bool retval = (last.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0;
                const bool isLong = last.tdesc.vt == VT_PTR && last.tdesc.lptdesc != nullptr &&
                                    last.tdesc.lptdesc->vt == VT_I4;
                status = retval && isLong && n == static_cast<UINT>(fd->cParams) + 1 &&
                         zub::com::BstrToWide(names[n - 1]) == L"ret";
                for (UINT p = 0; p < n; ++p) SysFreeString(names[p]);
            }
            info->ReleaseFuncDesc(fd);
        }
        return status;
    }

    static bool IsInteger(const std::string& s) {
        std::size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
        if (i >= s.size() || s.size() - i > 10) return false;
        for (; i < s.size(); ++i)
            if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        return true;
    }
    static bool IsNumber(const std::string& s) {
        char* end = nullptr;
        std::strtod(s.c_str(), &end);
        return !s.empty() && end == s.c_str() + s.size() &&
               (std::isdigit(static_cast<unsigned char>(s.back())) || s.back() == '.');
    }
    static std::string Echo(const std::vector<Token>& t) {
        std::string s;
        for (const Token& x : t) {
            if (!s.empty()) s += " ";
            bool date = x.text.size() >= 2 && x.text.front() == '#' && x.text.back() == '#';
            bool plain = !x.quoted && !x.text.empty() &&
                         (date || x.text.find_first_of(" \t\"") == std::string::npos);
            s += plain ? x.text : Quote(zub::Utf8ToWide(x.text));
        }
        return s;
    }

    static std::string Status(HRESULT hr) {
        return Narrow(zub::com::HResultHex(hr)) + " " + StatusText(hr);
    }

    void Report(const std::string& echo, HRESULT hr, const VARIANT* value, const std::string* desc,
                bool failedStatus = false) {
        const bool failure = FAILED(hr) || failedStatus;
        if (failure) ++failures_;
        if (options_.quiet && !failure) return;
        out_ << (failure ? Where() : "") << echo << " -> ";
        if (SUCCEEDED(hr) && value && value->vt != VT_EMPTY) out_ << Show(*value) << " ";
        out_ << "[" << Narrow(zub::com::HResultHex(hr)) << " " << (desc ? *desc : StatusText(hr))
             << "]\n";
    }

    void Complain(const std::string& what) { err_ << what << "\n"; }

    bool Statement(const std::vector<Token>& t, int line) {
        auto bad = [&](const std::string& what) {
            err_ << zub::trf("line %d: ", line) << what << "\n";
            return false;
        };
        auto isEq = [&](std::size_t i) { return t.size() > i && !t[i].quoted && t[i].text == "="; };
        if (!t[0].quoted && t[0].text == "print") {
            std::string s;
            for (std::size_t i = 1; i < t.size(); ++i) {
                Variant v;
                if (!Value(t[i], &v)) return bad(zub::trf("bad value %s", t[i].text.c_str()));
                s += (i > 1 ? " " : "") + Show(v.get());
            }
            out_ << s << "\n";
            return true;
        }
        std::size_t dot = t[0].text.find('.');
        if (!t[0].quoted && dot == std::string::npos && isEq(1)) {
            if (t.size() >= 3 && !t[2].quoted && t[2].text == "new") {
                if (t.size() != 4) return bad(zub::tr("expected: VAR = new PROGID"));
                ComPtr<IDispatch> obj;
                auto v = std::make_unique<Variant>();
                if (Create(t[3].text, &obj)) {
                    v->get().vt = VT_DISPATCH;
                    v->get().pdispVal = obj.detach();
                }
                vars_[t[0].text] = std::move(v);
                return true;
            }
            if (t.size() < 3) return bad(zub::tr("expected a value or a call after '='"));
            std::vector<Token> rhs(t.begin() + 2, t.end());
            auto v = std::make_unique<Variant>();
            if (!rhs[0].quoted && rhs[0].text.find('.') != std::string::npos &&
                rhs[0].text[0] != '$' && !IsNumber(rhs[0].text)) {
                if (!Invoke(rhs, false, &v->get(), line)) return false;
            } else {
                if (rhs.size() != 1) return bad(zub::tr("one value expected"));
                if (!Value(rhs[0], &v->get()))
                    return bad(zub::trf("bad value %s", rhs[0].text.c_str()));
            }
            vars_[t[0].text] = std::move(v);
            return true;
        }
        if (t[0].quoted || dot == std::string::npos) return bad(zub::tr("expected OBJECT.MEMBER"));
        if (isEq(1)) {
            if (t.size() != 3) return bad(zub::tr("expected: OBJECT.MEMBER = VALUE"));
            std::vector<Token> put{t[0], t[2]};
            return Invoke(put, true, nullptr, line);
        }
        return Invoke(t, false, nullptr, line);
    }

    // t[0] is OBJECT.MEMBER, the rest its arguments.
    bool Invoke(const std::vector<Token>& t, bool put, VARIANT* result, int line) {
        std::size_t dot = t[0].text.find('.');
        std::string var = t[0].text.substr(0, dot), member = t[0].text.substr(dot + 1);
        auto it = vars_.find(var);
        if (it == vars_.end() || it->second->get().vt != VT_DISPATCH ||
            !it->second->get().pdispVal) {
            err_ << zub::trf("line %d: ", line) << zub::trf("%s is not an object", var.c_str())
                 << "\n";
            ++failures_;
            return true;  // later lines may still run
        }
        std::vector<Token> args(t.begin() + 1, t.end());
        name_ = t[0].text;
        std::string echo = put ? t[0].text + " = " + Echo(args) : Echo(t);
        Call(it->second->get().pdispVal, echo, member, args, put, result);
        return true;
    }

    std::ostream& out_;
    std::ostream& err_;
    std::map<std::string, std::unique_ptr<Variant>> vars_;
    Options options_;
    int failures_ = 0;
    int line_ = 0;
    // The member as the caller wrote it ("doc.CheckOut" in a script).
    std::string name_;
};

int RunEntry(const std::string& module, const char* entry, std::ostream& out) {
    zub::platform::Library lib;
    HRESULT hr = S_OK;
    // A bare name would be searched for on the library path; the module asked
    // for is the file named here, and it registers the path it was loaded by.
    std::error_code ec;
    std::string full = std::filesystem::absolute(module, ec).string();
    zub::platform::Error e = zub::platform::LoadLibrary(zub::Utf8ToWide(ec ? module : full), lib);
    void* fn = nullptr;
    if (e == 0) e = zub::platform::GetProcAddress(lib.Handle(), entry, fn);
    hr = e ? HResultFromWin32(e) : reinterpret_cast<DllRegisterServerFn>(fn)();
    out << entry << " " << module << " -> [" << Narrow(zub::com::HResultHex(hr)) << " "
        << StatusText(hr) << "]\n";
    return SUCCEEDED(hr) ? 0 : 1;
}

}  // namespace

int Run(const std::vector<std::string>& commandLine, std::ostream& out, std::ostream& err) {
    Options options;
    std::size_t first = 0;
    for (; first < commandLine.size(); ++first) {
        if (commandLine[first] == "--quiet" || commandLine[first] == "-q")
            options.quiet = true;
        else if (commandLine[first] == "--stop-on-error")
            options.stopOnError = true;
        else
            break;
    }
    const std::vector<std::string> args(commandLine.begin() + static_cast<std::ptrdiff_t>(first),
                                        commandLine.end());
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? err : out) << Usage();
        return args.empty() ? 2 : 0;
    }
    const std::string& cmd = args[0];
    std::size_t need = cmd == "call" ? 3 : 2;
    if ((cmd != "call" && cmd != "run" && cmd != "members" && cmd != "register" &&
         cmd != "unregister") ||
        args.size() < need || (cmd != "call" && args.size() != 2)) {
        err << Usage();
        return 2;
    }
    if (cmd == "register") return RunEntry(args[1], "DllRegisterServer", out);
    if (cmd == "unregister") return RunEntry(args[1], "DllUnregisterServer", out);
    CoInitialize(nullptr);
    int rc = 0;
    {
        Session s(out, err, options);
        if (cmd == "call") {
            rc = s.RunCall(std::vector<std::string>(args.begin() + 1, args.end()));
        } else if (cmd == "members") {
            rc = s.Members(args[1]);
        } else {
            std::ifstream in(args[1]);
            if (!in) {
                err << zub::trf("cannot read %s", args[1].c_str()) << "\n";
                rc = 2;
            } else {
                rc = s.RunScript(in);
            }
        }
    }
    CoUninitialize();
    return rc;
}

}  // namespace zub::zubcom
