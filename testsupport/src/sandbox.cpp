#include "zubtest/sandbox.h"

namespace zub::testsupport {

namespace fs = std::filesystem;

Sandbox::Sandbox(const std::string& prefix, TempDir::Medium registry) : dir_(prefix) {
    if (registry == TempDir::Medium::Memory) {
        memory_.emplace(prefix + "-registry", TempDir::Medium::Memory);
        registry_ = memory_->path();
    } else {
        registry_ = dir_.path() / "registry";
        fs::create_directories(registry_);
    }
    fs::create_directories(root());
    env_.Set("ZUB_REGISTRY_DIR", registry_.string());
    env_.Set("ZUB_ROOT", root().string());
    env_.Set("HOME", home().string());
    env_.Set("XDG_CONFIG_HOME", (home() / ".config").string());
    env_.Set("XDG_DATA_HOME", (home() / ".local/share").string());
}

}  // namespace zub::testsupport
