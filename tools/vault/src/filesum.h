// The SHA-256 of a local file, as the store records it for every file it keeps.
#pragma once

#include <filesystem>
#include <string>

namespace zub::vault {

class FileSum {
public:
    // 64 lower-case hex digits; empty when the file cannot be read.
    static std::string Sha256(const std::filesystem::path& file);
};

}  // namespace zub::vault
