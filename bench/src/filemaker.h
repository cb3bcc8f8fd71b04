// Writes test files of incompressible content. Content is made per 1 MiB
// chunk from (seed, chunk index), so a "new version" of a file can differ from
// the old one in a single chunk, as an edit of a large model would.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace zub::bench {

class FileMaker {
public:
    static constexpr std::uint64_t kChunk = std::uint64_t{1} << 20;

    // `changedChunk` (if below the chunk count) takes content from `variant`.
    static void Write(const std::filesystem::path& file, std::uint64_t bytes, std::uint64_t seed,
                      std::uint64_t changedChunk = UINT64_MAX, std::uint64_t variant = 0);
    // The SHA-256 of a file as 64 lower-case hex digits, as the store records it.
    static std::string Sha256(const std::filesystem::path& file);
};

}  // namespace zub::bench
