// A fresh folder under the system's temporary directory for one test,
// removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace zub::testsupport {

class TempDir {
public:
    // Memory: under /dev/shm where there is one, for tests that flush many
    // small writes (a registry); the system's temporary directory otherwise.
    enum class Medium { Disk, Memory };

    // `prefix` names the folder so a leftover one tells which tests made it;
    // throws std::system_error when no folder can be made.
    explicit TempDir(const std::string& prefix = "zub-test");
    TempDir(const std::string& prefix, Medium medium);
    // Read-only files and folders inside are removed too.
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::wstring wstr() const { return path_.wstring(); }

private:
    std::filesystem::path path_;
};

}  // namespace zub::testsupport
