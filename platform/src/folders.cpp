#include "zub/platform/folders.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include "zub/text.h"

namespace zub::platform {

namespace {

thread_local Lcid tLocale = 0x0409;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

std::string Home() { return Env("HOME"); }

std::string WithoutTrailingSlash(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string DataHome() {
    std::string d = Env("XDG_DATA_HOME");
    return d.size() > 0 && d[0] == '/' ? d : Home() + "/.local/share";
}

std::string ConfigHome() {
    std::string d = Env("XDG_CONFIG_HOME");
    return d.size() > 0 && d[0] == '/' ? d : Home() + "/.config";
}

// XDG_DESKTOP_DIR from user-dirs.dirs ("$HOME/Desktop" or an absolute path).
std::string DesktopDir() {
    std::ifstream in(ConfigHome() + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0) v = Home() + v.substr(5);
        if (!v.empty() && v[0] == '/') return WithoutTrailingSlash(v);
    }
    return Home() + "/Desktop";
}

}  // namespace

std::wstring RootPrefix() {
    std::string root = Env("ZUB_ROOT");
    if (root.empty()) return {};
    return Utf8ToWide(WithoutTrailingSlash(root) == "/" ? std::string()
                                                        : WithoutTrailingSlash(root));
}

std::wstring UnderRoot(const std::wstring& absolutePath) { return RootPrefix() + absolutePath; }

Error GetSpecialFolder(SpecialFolder folder, std::wstring& path) {
    std::string p;
    switch (folder) {
        case SpecialFolder::Desktop:
        case SpecialFolder::CommonDesktopDirectory:
            p = DesktopDir();
            break;
        case SpecialFolder::Programs:
            p = DataHome() + "/applications";
            break;
        case SpecialFolder::AppData:
            p = DataHome();
            break;
        case SpecialFolder::CommonPrograms:
            p = "/usr/share/applications";
            break;
        case SpecialFolder::CommonAppData:
            p = "/var/lib";
            break;
        case SpecialFolder::System:
            p = "/usr/lib";
            break;
        case SpecialFolder::ProgramFiles:
            p = "/opt";
            break;
        case SpecialFolder::CommandLinks:
            p = "/usr/local/bin";
            break;
        case SpecialFolder::Temp: {
            std::string t = Env("TMPDIR");
            p = t.size() > 0 && t[0] == '/' ? WithoutTrailingSlash(t) : "/tmp";
            break;
        }
        default:
            SetLastError(kErrorInvalidParameter);
            return kErrorInvalidParameter;
    }
    path = UnderRoot(Utf8ToWide(p));
    SetLastError(kErrorSuccess);
    return kErrorSuccess;
}

Lcid GetThreadLocale() { return tLocale; }

bool SetThreadLocale(Lcid locale) {
    if (locale == 0) {
        SetLastError(kErrorInvalidParameter);
        return false;
    }
    tLocale = locale == kLocaleSystemDefault || locale == kLocaleUserDefault ? 0x0409 : locale;
    return true;
}

}  // namespace zub::platform
