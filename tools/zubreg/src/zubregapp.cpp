#include "zubregapp.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli_language.h"
#include "regfile.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::zubreg {

using namespace platform;

namespace {

// A command the registry refused or that failed: the platform's error number
// and what it concerned.
class Failure : public std::runtime_error {
public:
    Failure(Error error, const std::string& what) : std::runtime_error(what), error_(error) {}
    Error Code() const { return error_; }

private:
    Error error_;
};

void Check(Error e, const std::string& what) {
    if (e != kErrorSuccess) throw Failure(e, what);
}

std::wstring W(const std::string& s) { return NarrowToWide(s); }
std::string N(const std::wstring& s) { return WideToNarrow(s); }

// "@" and "" both name the default value.
std::wstring ValueName(const std::string& s) { return s == "@" ? std::wstring() : W(s); }

std::wstring FullPath(const std::string& key) {
    RootKey root;
    std::wstring sub;
    if (!SplitKeyPath(W(key), root, sub)) throw Failure(kErrorFileNotFound, key);
    while (!sub.empty() && sub.back() == L'\\') sub.pop_back();
    return RootKeyName(root) + (sub.empty() ? L"" : L"\\" + sub);
}

void List(const RegKey& key, const std::wstring& path, bool recursive, std::ostream& out) {
    out << N(path) << "\n";
    std::wstring name;
    RegValue value;
    Error e;
    for (std::uint32_t i = 0; (e = RegEnumValue(key, i, name, &value)) == kErrorSuccess; ++i) {
        out << "    " << (name.empty() ? zub::tr("(Default)") : N(name)) << "    "
            << N(TypeName(value.type)) << "    " << N(DataText(value)) << "\n";
    }
    Check(e == kErrorNoMoreItems ? kErrorSuccess : e, N(path));
    std::vector<std::wstring> subs;
    for (std::uint32_t i = 0; (e = RegEnumKey(key, i, name)) == kErrorSuccess; ++i)
        subs.push_back(name);
    Check(e == kErrorNoMoreItems ? kErrorSuccess : e, N(path));
    out << "\n";
    for (const auto& s : subs) {
        if (!recursive) {
            out << N(path + L"\\" + s) << "\n";
            continue;
        }
        RegKey sub;
        Check(RegOpenKey(key, s, kKeyRead, sub), N(path + L"\\" + s));
        List(sub, path + L"\\" + s, true, out);
    }
}

std::vector<std::uint8_t> ParseData(const std::string& type, const std::string& data,
                                    ValueType& vt) {
    std::wstring text = W(data);
    if (type == "REG_SZ" || type == "REG_EXPAND_SZ") {
        vt = type == "REG_SZ" ? ValueType::Sz : ValueType::ExpandSz;
        return StringToRegData(text, true);
    }
    if (type == "REG_MULTI_SZ") {
        vt = ValueType::MultiSz;
        std::vector<std::wstring> items;
        std::size_t start = 0;
        while (!text.empty()) {
            auto sep = text.find(L"\\0", start);
            items.push_back(text.substr(start, sep == std::wstring::npos ? sep : sep - start));
            if (sep == std::wstring::npos) break;
            start = sep + 2;
        }
        return MultiStringToRegData(items);
    }
    if (type == "REG_DWORD" || type == "REG_QWORD") {
        vt = type == "REG_DWORD" ? ValueType::Dword : ValueType::Qword;
        std::size_t used = 0;
        unsigned long long n = 0;
        try {
            n = std::stoull(data, &used, 0);
        } catch (const std::exception&) {
            used = 0;
        }
        std::size_t width = vt == ValueType::Dword ? 4 : 8;
        if (data.empty() || used != data.size() || data[0] == '-' ||
            (width == 4 && n > 0xFFFFFFFFULL)) {
            throw Failure(kErrorInvalidParameter,
                          zub::trf("not a number for %s: %s", type.c_str(), data.c_str()));
        }
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < width; ++i)
            bytes.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
        return bytes;
    }
    if (type == "REG_BINARY" || type == "REG_NONE") {
        vt = type == "REG_BINARY" ? ValueType::Binary : ValueType::None;
        std::string hex;
        for (char c : data) {
            if (c != ',' && c != ' ') hex += c;
        }
        if (hex.size() % 2 != 0 ||
            hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            throw Failure(kErrorInvalidParameter, zub::trf("not hex bytes: %s", data.c_str()));
        }
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        }
        return bytes;
    }
    throw Failure(kErrorInvalidParameter, zub::trf("unknown type %s", type.c_str()));
}

// The command line's arguments, filled by the parser.
struct Arguments {
    std::string key, name, data, type = "REG_SZ", file, deleteValue;
    bool recursive = false;
};

struct Commands {
    CLI::App* list;
    CLI::App* read;
    CLI::App* write;
    CLI::App* del;
    CLI::App* exp;
    CLI::App* imp;
};

Commands Define(CLI::App& app, Arguments& a) {
    Commands c{};
    const char* key = zub::tr("registry key, as HKLM\\Software\\...");
    c.list = zub::tools::AddSubcommand(app, "list", zub::tr("show a key's values and subkeys"));
    c.list
        ->add_option("key", a.key,
                     zub::tr("HKLM\\Software\\... (roots: HKCR HKCU HKLM HKU HKCC or their long "
                             "names)"))
        ->required();
    c.list->add_flag("-r,--recursive", a.recursive, zub::tr("the whole subtree"));

    c.read = zub::tools::AddSubcommand(app, "read", zub::tr("print one value's data"));
    c.read->alias("query");
    c.read->add_option("key", a.key, key)->required();
    c.read->add_option("name", a.name, zub::tr("value name; @ or omitted is the default value"));

    c.write = zub::tools::AddSubcommand(app, "write", zub::tr("set a value (creating the key)"));
    c.write->add_option("key", a.key, key)->required();
    c.write->add_option("name", a.name, zub::tr("value name; @ is the default value"))->required();
    c.write->add_option("data", a.data,
                        zub::tr("REG_MULTI_SZ items are separated by \\0; binary is hex bytes"));
    c.write->add_option("-t,--type", a.type,
                        zub::tr("REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, "
                                "REG_QWORD, REG_BINARY, REG_NONE"));

    c.del = zub::tools::AddSubcommand(app, "delete",
                                      zub::tr("delete a key with its subtree, or one value"));
    c.del->add_option("key", a.key, key)->required();
    c.del->add_option("-v,--value", a.deleteValue,
                      zub::tr("delete only this value (@ for the default)"));

    c.exp = zub::tools::AddSubcommand(app, "export",
                                      zub::tr("write a key and its subtree as a .reg file"));
    c.exp->add_option("key", a.key, key)->required();
    c.exp->add_option("file", a.file, zub::tr(".reg file; - or omitted writes to the output"));

    c.imp = zub::tools::AddSubcommand(app, "import", zub::tr("apply a .reg file"));
    c.imp->add_option("file", a.file, zub::tr(".reg file (UTF-16 or UTF-8); - reads the input"))
        ->required();
    return c;
}

void ListKey(const Arguments& a, std::ostream& out) {
    RegKey k;
    const std::wstring path = FullPath(a.key);
    Check(OpenKeyPath(path, kKeyRead, k, false), a.key);
    List(k, path, a.recursive, out);
}

void ReadValue(const Arguments& a, std::ostream& out) {
    RegKey k;
    Check(OpenKeyPath(FullPath(a.key), kKeyRead, k, false), a.key);
    RegValue v;
    Check(RegQueryValue(k, ValueName(a.name), v), a.key + " " + (a.name.empty() ? "@" : a.name));
    out << N(DataText(v)) << "\n";
}

void WriteValue(const Arguments& a) {
    ValueType vt{};
    const auto bytes = ParseData(a.type, a.data, vt);
    RegKey k;
    Check(OpenKeyPath(FullPath(a.key), kKeyAllAccess, k, true), a.key);
    Check(RegSetValue(k, ValueName(a.name), vt, bytes.data(),
                      static_cast<std::uint32_t>(bytes.size())),
          a.key);
}

void Delete(const Arguments& a, bool oneValue) {
    const std::wstring path = FullPath(a.key);
    if (oneValue) {
        RegKey k;
        Check(OpenKeyPath(path, kKeySetValue | kKeyQueryValue, k, false), a.key);
        Check(RegDeleteValue(k, ValueName(a.deleteValue)), a.key + " " + a.deleteValue);
        return;
    }
    RootKey root;
    std::wstring sub;
    SplitKeyPath(path, root, sub);
    if (sub.empty()) throw Failure(kErrorAccessDenied, zub::tr("a root key cannot be deleted"));
    Check(RegDeleteTree(root, sub), a.key);
}

void Export(const Arguments& a, std::ostream& out) {
    std::wstring text;
    Check(ExportKey(FullPath(a.key), text), a.key);
    const std::string bytes = WideToUtf8(text);
    if (a.file.empty() || a.file == "-") {
        out << bytes;
        return;
    }
    std::ofstream f(a.file, std::ios::binary | std::ios::trunc);
    f << bytes;
    f.flush();
    if (!f) throw Failure(kErrorCantWrite, a.file);
}

void Import(const Arguments& a, std::istream& in) {
    std::string bytes;
    if (a.file == "-") {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } else {
        std::ifstream f(a.file, std::ios::binary);
        if (!f) throw Failure(kErrorFileNotFound, a.file);
        bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    const ImportResult r = ImportText(DecodeRegFile(bytes));
    if (r.error != kErrorSuccess)
        throw Failure(r.error,
                      a.file + ":" + std::to_string(r.line) + ": " + WideToUtf8(r.message));
}

void Execute(const Commands& c, const Arguments& a, std::istream& in, std::ostream& out) {
    if (*c.list) ListKey(a, out);
    if (*c.read) ReadValue(a, out);
    if (*c.write) WriteValue(a);
    if (*c.del) Delete(a, c.del->count("--value") > 0);
    if (*c.exp) Export(a, out);
    if (*c.imp) Import(a, in);
}

}  // namespace

int RunZubreg(int argc, const char* const* argv, std::istream& in, std::ostream& out,
              std::ostream& err) {
    CLI::App app{zub::tr("zubreg: list, read, write, delete, export and import registry keys")};
    zub::tools::SpeakUserLanguage(app);
    app.require_subcommand(1);
    Arguments arguments;
    const Commands commands = Define(app, arguments);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? 0 : 2;
    }
    try {
        Execute(commands, arguments, in, out);
    } catch (const Failure& f) {
        err << zub::trf("zubreg: %s: %s (%u)\n", f.what(),
                        zub::LibraryText(WideToUtf8(ErrorText(f.Code()))).c_str(), f.Code());
        return 1;
    }
    return 0;
}

}  // namespace zub::zubreg
