// A temporary folder for one test: the registry and ZUB_ROOT live in it, and
// it is removed (with the environment restored) at the end.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace zub::platform::testing {

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path RegistryDir() const { return dir_ / "registry"; }
    std::filesystem::path Root() const { return dir_ / "root"; }

    // Sets a variable for the test's length.
    void SetEnv(const std::string& name, const std::string& value);
    void UnsetEnv(const std::string& name);

    // Writes a file (parents made).
    static void WriteFile(const std::filesystem::path& path, const std::string& content);
    static std::string ReadFile(const std::filesystem::path& path);

private:
    void Remember(const std::string& name);

    std::filesystem::path dir_;
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace zub::platform::testing
