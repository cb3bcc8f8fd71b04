// A temporary folder made inside a given folder (so a rename out of it stays
// on one file system), removed with its content when it goes out of scope.
#pragma once

#include <filesystem>

namespace zub::vault {

class ScratchDir {
public:
    explicit ScratchDir(const std::filesystem::path& parent);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace zub::vault
