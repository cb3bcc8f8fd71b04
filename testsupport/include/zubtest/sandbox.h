// A test's own machine in a temporary folder: the registry (ZUB_REGISTRY_DIR),
// the file system root (ZUB_ROOT) and a home with its XDG folders. The
// environment is restored and the folder removed when the object goes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "zubtest/scopedenv.h"
#include "zubtest/tempdir.h"

namespace zub::testsupport {

class Sandbox {
public:
    // `registry`: Memory for tests that register servers (hundreds of
    // flushed writes).
    explicit Sandbox(const std::string& prefix = "zub-sandbox",
                     TempDir::Medium registry = TempDir::Medium::Disk);
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& path() const { return dir_.path(); }
    std::filesystem::path root() const { return dir_.path() / "root"; }
    const std::filesystem::path& registry() const { return registry_; }
    std::filesystem::path home() const { return dir_.path() / "home"; }

    // Further variables for the sandbox's lifetime; nullopt removes one.
    void SetEnv(const std::string& name, const std::optional<std::string>& value) {
        env_.Set(name, value);
    }

private:
    // Declared so that the environment is restored before the folders go.
    TempDir dir_;
    std::optional<TempDir> memory_;
    std::filesystem::path registry_;
    ScopedEnv env_;
};

}  // namespace zub::testsupport
