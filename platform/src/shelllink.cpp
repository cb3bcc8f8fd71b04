#include "zub/platform/shelllink.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "zub/platform/process.h"
#include "zub/text.h"

namespace zub::platform {

namespace {

Error Done(Error e) {
    SetLastError(e);
    return e;
}

// The desktop-entry string escapes.
std::string EscapeValue(const std::string& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        char c = v[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case ' ':
                out += i == 0 ? "\\s" : " ";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string UnescapeValue(const std::string& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        char n = v[++i];
        switch (n) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += n;
        }
    }
    return out;
}

// One argument of an Exec line, quoted when it holds a reserved character.
std::string ExecArgument(const std::string& arg) {
    static const std::string kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    bool quote = arg.empty() || arg.find_first_of(kReserved) != std::string::npos;
    if (quote) out += '"';
    for (char c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    if (quote) out += '"';
    return out;
}

std::vector<std::string> SplitExec(const std::string& exec) {
    std::vector<std::string> args;
    std::string cur;
    bool inArg = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (!quoted && c == ' ') {
            if (inArg) args.push_back(cur);
            cur.clear();
            inArg = false;
            continue;
        }
        inArg = true;
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted && c == '\\' && i + 1 < exec.size()) {
            cur += exec[++i];
        } else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
            cur += '%';
            ++i;
        } else {
            cur += c;
        }
    }
    if (inArg) args.push_back(cur);
    return args;
}

}  // namespace

Error WriteShellLink(const ShellLink& link, const std::wstring& linkPath) {
    std::filesystem::path path(WideToUtf8(linkPath));
    std::error_code ec;
    std::filesystem::path dir = path.parent_path().empty() ? "." : path.parent_path();
    if (path.filename().empty()) return Done(kErrorInvalidName);
    if (!std::filesystem::is_directory(dir, ec)) return Done(kErrorPathNotFound);

    std::string target = WideToUtf8(link.target);
    std::string exec = ExecArgument(target);
    for (const auto& a : SplitCommandLine(link.arguments))
        exec += " " + ExecArgument(WideToUtf8(a));

    std::ostringstream out;
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Version=1.0\n"
        << "Name=" << EscapeValue(path.stem().string()) << "\n";
    if (!link.description.empty())
        out << "Comment=" << EscapeValue(WideToUtf8(link.description)) << "\n";
    out << "Exec=" << EscapeValue(exec) << "\n";
    if (!link.workingDirectory.empty())
        out << "Path=" << EscapeValue(WideToUtf8(link.workingDirectory)) << "\n";
    if (!link.iconPath.empty()) out << "Icon=" << EscapeValue(WideToUtf8(link.iconPath)) << "\n";
    if (link.terminal) out << "Terminal=true\n";
    char hotKey[16];
    std::snprintf(hotKey, sizeof hotKey, "0x%04X", static_cast<unsigned>(link.hotKey));
    out << "# HotKey=" << hotKey << "\n"
        << "X-Zub-Target=" << EscapeValue(target) << "\n"
        << "X-Zub-Arguments=" << EscapeValue(WideToUtf8(link.arguments)) << "\n"
        << "X-Zub-IconIndex=" << link.iconIndex << "\n";

    std::filesystem::path temp =
        dir / ("." + path.filename().string() + ".tmp" + std::to_string(::getpid()));
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        file << out.str();
        file.flush();
        if (!file) {
            std::filesystem::remove(temp, ec);
            return Done(kErrorAccessDenied);
        }
    }
    // Desktops launch only entries marked executable.
    ::chmod(temp.c_str(), 0755);
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return Done(std::filesystem::is_directory(path) ? kErrorAccessDenied
                                                        : ErrorFromErrno(ec.value()));
    }
    return Done(kErrorSuccess);
}

Error ReadShellLink(const std::wstring& linkPath, ShellLink& link) {
    std::ifstream in(WideToUtf8(linkPath), std::ios::binary);
    if (!in) return Done(kErrorFileNotFound);
    std::map<std::string, std::string> keys;
    std::string line;
    bool inEntry = false;
    bool sawEntry = false;
    std::string hotKey;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("# HotKey=", 0) == 0 && inEntry) {
            hotKey = line.substr(9);
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inEntry = line == "[Desktop Entry]";
            sawEntry = sawEntry || inEntry;
            continue;
        }
        auto eq = line.find('=');
        if (!inEntry || eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        std::string value = line.substr(eq + 1);
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        keys.emplace(key, UnescapeValue(value));
    }
    if (!sawEntry) return Done(kErrorInvalidData);

    ShellLink r;
    auto get = [&keys](const char* k) {
        auto it = keys.find(k);
        return it == keys.end() ? std::string() : it->second;
    };
    if (keys.count("X-Zub-Target")) {
        r.target = Utf8ToWide(get("X-Zub-Target"));
        r.arguments = Utf8ToWide(get("X-Zub-Arguments"));
    } else {
        auto args = SplitExec(get("Exec"));
        if (!args.empty()) r.target = Utf8ToWide(args[0]);
        std::string rest;
        for (std::size_t i = 1; i < args.size(); ++i) rest += (i > 1 ? " " : "") + args[i];
        r.arguments = Utf8ToWide(rest);
    }
    r.description = Utf8ToWide(get("Comment"));
    r.workingDirectory = Utf8ToWide(get("Path"));
    r.iconPath = Utf8ToWide(get("Icon"));
    r.terminal = get("Terminal") == "true";
    r.iconIndex = std::atoi(get("X-Zub-IconIndex").c_str());
    r.hotKey = static_cast<std::uint16_t>(std::strtoul(hotKey.c_str(), nullptr, 16));
    link = std::move(r);
    return Done(kErrorSuccess);
}

}  // namespace zub::platform
