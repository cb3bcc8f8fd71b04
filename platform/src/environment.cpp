#include "zub/platform/environment.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "zub/platform/folders.h"
#include "zub/platform/registry.h"
#include "zub/text.h"

namespace zub::platform {

namespace {

constexpr const wchar_t* kEnvironmentKey = L"Environment";

Error Done(Error e) {
    SetLastError(e);
    return e;
}

bool ValidName(std::wstring_view name) {
    return !name.empty() &&
           name.find_first_of(std::wstring_view(L"=\n\r\0", 4)) == std::wstring_view::npos;
}

std::string EnvironmentDFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string dir;
    if (config != nullptr && config[0] == '/') {
        dir = config;
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home != nullptr ? home : "") + "/.config";
    }
    return WideToUtf8(UnderRoot(Utf8ToWide(dir + "/environment.d/50-zub.conf")));
}

// environment.d takes shell-like quoting; single quotes keep everything but
// a single quote.
std::string Quoted(const std::string& value) {
    std::string out = "'";
    for (char c : value) {
        if (c == '\'') {
            out += "'\"'\"'";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// Rewrites the environment.d file from the registry, so both always agree.
Error Mirror(const RegKey& key) {
    std::string text = "# Written by zub: the user's environment variables.\n";
    std::wstring name;
    RegValue value;
    for (std::uint32_t i = 0; RegEnumValue(key, i, name, &value) == kErrorSuccess; ++i) {
        if (value.type != ValueType::Sz && value.type != ValueType::ExpandSz) continue;
        text += WideToUtf8(name) + "=" +
                Quoted(WideToUtf8(RegDataToString(value.data.data(), value.data.size()))) + "\n";
    }
    std::filesystem::path file(EnvironmentDFile());
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) return ErrorFromErrno(ec.value());
    std::filesystem::path temp = file;
    temp += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) return kErrorCantWrite;
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return kErrorCantWrite;
    }
    return kErrorSuccess;
}

}  // namespace

Error SetUserEnvironmentVariable(std::wstring_view name, std::wstring_view value) {
    if (!ValidName(name) ||
        value.find_first_of(std::wstring_view(L"\n\r\0", 3)) != std::wstring_view::npos) {
        return Done(kErrorInvalidParameter);
    }
    RegKey key;
    Error e = RegCreateKey(RootKey::CurrentUser, kEnvironmentKey, kKeyAllAccess, key);
    if (e != kErrorSuccess) return e;
    if (value.empty()) {
        e = RegDeleteValue(key, name);
        if (e == kErrorFileNotFound) e = kErrorSuccess;
    } else {
        e = RegSetString(key, name, value);
    }
    if (e != kErrorSuccess) return Done(e);
    if ((e = Mirror(key)) != kErrorSuccess) return Done(e);
    std::string n = WideToUtf8(name);
    if (value.empty()) {
        ::unsetenv(n.c_str());
    } else {
        ::setenv(n.c_str(), WideToUtf8(value).c_str(), 1);
    }
    return Done(kErrorSuccess);
}

Error GetUserEnvironmentVariable(std::wstring_view name, std::wstring& value) {
    if (!ValidName(name)) return Done(kErrorInvalidParameter);
    RegKey key;
    Error e = RegOpenKey(RootKey::CurrentUser, kEnvironmentKey, kKeyRead, key);
    if (e == kErrorFileNotFound) return Done(kErrorEnvvarNotFound);
    if (e != kErrorSuccess) return e;
    e = RegGetString(key, name, value);
    return Done(e == kErrorFileNotFound ? kErrorEnvvarNotFound : e);
}

Error GetEnvironmentVariable(std::wstring_view name, std::wstring& value) {
    if (!ValidName(name)) return Done(kErrorInvalidParameter);
    const char* v = std::getenv(WideToUtf8(name).c_str());
    if (v == nullptr) return Done(kErrorEnvvarNotFound);
    value = Utf8ToWide(v);
    return Done(kErrorSuccess);
}

}  // namespace zub::platform
