#include "sandbox.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zub::platform::testing {

Sandbox::Sandbox() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zubplat-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    SetEnv("ZUB_REGISTRY_DIR", RegistryDir().string());
    SetEnv("ZUB_ROOT", Root().string());
    SetEnv("XDG_DATA_HOME", (dir_ / "home/.local/share").string());
    SetEnv("XDG_CONFIG_HOME", (dir_ / "home/.config").string());
    SetEnv("HOME", (dir_ / "home").string());
}

Sandbox::~Sandbox() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    std::error_code ec;
    // Tests make files and folders read-only; give the rights back first.
    for (auto it = std::filesystem::recursive_directory_iterator(dir_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
}

void Sandbox::Remember(const std::string& name) {
    if (saved_.count(name)) return;
    const char* v = std::getenv(name.c_str());
    saved_[name] = v != nullptr ? std::optional<std::string>(v) : std::nullopt;
}

void Sandbox::SetEnv(const std::string& name, const std::string& value) {
    Remember(name);
    setenv(name.c_str(), value.c_str(), 1);
}

void Sandbox::UnsetEnv(const std::string& name) {
    Remember(name);
    unsetenv(name.c_str());
}

void Sandbox::WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Sandbox::ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace zub::platform::testing
