#include "userconfig.h"
#include "zub/i18n.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

namespace zub::vault {

namespace fs = std::filesystem;

namespace {

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

fs::path UserConfig::File() {
    const std::string xdg = Env("XDG_CONFIG_HOME");
    if (!xdg.empty() && fs::path(xdg).is_absolute()) return fs::path(xdg) / "vault" / "config";
    const std::string home = Env("HOME");
    if (home.empty()) return {};
    return fs::path(home) / ".config" / "vault" / "config";
}

UserConfig UserConfig::Load() {
    UserConfig config;
    config.file_ = File();
    if (config.file_.empty()) return config;
    std::ifstream in(config.file_);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string text = Trimmed(line);
        if (text.empty() || text[0] == '#') continue;
        const auto eq = text.find('=');
        const std::string key = eq == std::string::npos ? "" : Trimmed(text.substr(0, eq));
        if (key != "store" && key != "user") {
            std::cerr << zub::trf(
                             "vault: warning: %s:%d: not \"store = DIR\" or \"user = "
                             "NAME\"; skipped",
                             config.file_.string().c_str(), static_cast<int>(number))
                      << '\n';
            continue;
        }
        config.values_[key] = Trimmed(text.substr(eq + 1));
    }
    return config;
}

std::string UserConfig::Store() const {
    const auto it = values_.find("store");
    if (it == values_.end() || it->second.empty()) return "";
    const std::string& dir = it->second;
    if (dir.rfind("~/", 0) == 0 && !Env("HOME").empty())
        return (fs::path(Env("HOME")) / dir.substr(2)).string();
    if (fs::path(dir).is_absolute()) return dir;
    return (file_.parent_path() / dir).lexically_normal().string();
}

std::string UserConfig::User() const {
    const auto it = values_.find("user");
    return it == values_.end() ? "" : it->second;
}

}  // namespace zub::vault
