// The user's defaults: $XDG_CONFIG_HOME/vault/config (else ~/.config/vault/config),
// lines "key = value", '#' starting a comment. Keys: store, user. Options
// come first, then the environment, then this file.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace zub::vault {

class UserConfig {
public:
    static std::filesystem::path File();
    // The file's settings; none when it is missing. Lines it cannot read are
    // reported on standard error and skipped.
    static UserConfig Load();

    // The value of a key, "" when unset. A relative store is taken from the
    // file's folder, "~/" from the home folder.
    std::string Store() const;
    std::string User() const;

private:
    std::filesystem::path file_;
    std::map<std::string, std::string> values_;
};

}  // namespace zub::vault
