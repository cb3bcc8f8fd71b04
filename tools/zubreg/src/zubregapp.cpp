#include "zubregapp.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "regfile.h"
#include "zub/text.h"

namespace zub::zubreg {

using namespace platform;

namespace {

class Failure {
public:
    Failure(Error error, std::string what) : error_(error), what_(std::move(what)) {}
    Error Code() const { return error_; }
    const std::string& What() const { return what_; }

private:
    Error error_;
    std::string what_;
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
        out << "    " << (name.empty() ? "(Default)" : N(name)) << "    " << N(TypeName(value.type))
            << "    " << N(DataText(value)) << "\n";
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
            throw Failure(kErrorInvalidParameter, "not a number for " + type + ": " + data);
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
            throw Failure(kErrorInvalidParameter, "not hex bytes: " + data);
        }
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        }
        return bytes;
    }
    throw Failure(kErrorInvalidParameter, "unknown type " + type);
}

}  // namespace

int RunZubreg(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"zubreg: list, read, write, delete, export and import registry keys"};
    app.require_subcommand(1);
    std::string key, name, data, type = "REG_SZ", file;
    bool recursive = false;
    std::string deleteValue;

    auto* list = app.add_subcommand("list", "show a key's values and subkeys");
    list->add_option("key", key,
                     "HKLM\\Software\\... (roots: HKCR HKCU HKLM HKU HKCC or their long names)")
        ->required();
    list->add_flag("-r,--recursive", recursive, "the whole subtree");

    auto* read = app.add_subcommand("read", "print one value's data");
    read->alias("query");
    read->add_option("key", key)->required();
    read->add_option("name", name, "value name; @ or omitted is the default value");

    auto* write = app.add_subcommand("write", "set a value (creating the key)");
    write->add_option("key", key)->required();
    write->add_option("name", name, "value name; @ is the default value")->required();
    write->add_option("data", data, "REG_MULTI_SZ items are separated by \\0; binary is hex bytes");
    write->add_option("-t,--type", type,
                      "REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, "
                      "REG_BINARY, REG_NONE");

    auto* del = app.add_subcommand("delete", "delete a key with its subtree, or one value");
    del->add_option("key", key)->required();
    del->add_option("-v,--value", deleteValue, "delete only this value (@ for the default)");

    auto* exp = app.add_subcommand("export", "write a key and its subtree as a .reg file");
    exp->add_option("key", key)->required();
    exp->add_option("file", file, ".reg file; - or omitted writes to the output");

    auto* imp = app.add_subcommand("import", "apply a .reg file");
    imp->add_option("file", file, ".reg file (UTF-16 or UTF-8); - reads the input")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? 0 : 2;
    }

    try {
        if (*list) {
            RegKey k;
            std::wstring path = FullPath(key);
            Check(OpenKeyPath(path, kKeyRead, k, false), key);
            List(k, path, recursive, out);
        } else if (*read) {
            RegKey k;
            Check(OpenKeyPath(FullPath(key), kKeyRead, k, false), key);
            RegValue v;
            Check(RegQueryValue(k, ValueName(name), v), key + " " + (name.empty() ? "@" : name));
            out << N(DataText(v)) << "\n";
        } else if (*write) {
            ValueType vt{};
            auto bytes = ParseData(type, data, vt);
            RegKey k;
            Check(OpenKeyPath(FullPath(key), kKeyAllAccess, k, true), key);
            Check(RegSetValue(k, ValueName(name), vt, bytes.data(),
                              static_cast<std::uint32_t>(bytes.size())),
                  key);
        } else if (*del) {
            std::wstring path = FullPath(key);
            if (del->count("--value") > 0) {
                RegKey k;
                Check(OpenKeyPath(path, kKeySetValue | kKeyQueryValue, k, false), key);
                Check(RegDeleteValue(k, ValueName(deleteValue)), key + " " + deleteValue);
            } else {
                RootKey root;
                std::wstring sub;
                SplitKeyPath(path, root, sub);
                if (sub.empty()) throw Failure(kErrorAccessDenied, "a root key cannot be deleted");
                Check(RegDeleteTree(root, sub), key);
            }
        } else if (*exp) {
            std::wstring text;
            Check(ExportKey(FullPath(key), text), key);
            std::string bytes = WideToUtf8(text);
            if (file.empty() || file == "-") {
                out << bytes;
            } else {
                std::ofstream f(file, std::ios::binary | std::ios::trunc);
                f << bytes;
                f.flush();
                if (!f) throw Failure(kErrorCantWrite, file);
            }
        } else if (*imp) {
            std::string bytes;
            if (file == "-") {
                bytes.assign(std::istreambuf_iterator<char>(std::cin),
                             std::istreambuf_iterator<char>());
            } else {
                std::ifstream f(file, std::ios::binary);
                if (!f) throw Failure(kErrorFileNotFound, file);
                bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
            }
            ImportResult r = ImportText(DecodeRegFile(bytes));
            if (r.error != kErrorSuccess) {
                throw Failure(r.error, file + ":" + std::to_string(r.line) + ": " + N(r.message));
            }
        }
    } catch (const Failure& f) {
        err << "zubreg: " << f.What() << ": " << N(ErrorText(f.Code())) << " (" << f.Code()
            << ")\n";
        return 1;
    }
    return 0;
}

}  // namespace zub::zubreg
