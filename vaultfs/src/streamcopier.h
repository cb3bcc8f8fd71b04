// Moves the bytes of one open file into another in bounded steps, so memory
// use does not grow with the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>

namespace NFS {

class StreamCopier {
public:
    // Called after every step with the bytes moved so far; may throw to abort.
    using Step = std::function<void(std::uint64_t done)>;

    // kernelCopy: let the kernel move the bytes (copy_file_range) when it can.
    StreamCopier(std::size_t chunkSize, bool kernelCopy);

    // From the current position of `in` to its end, written at the current
    // position of `out`. The paths only name the files in error texts.
    std::uint64_t Copy(int in, const std::filesystem::path& inPath, int out,
                       const std::filesystem::path& outPath, const Step& step) const;

private:
    std::size_t chunkSize_;
    bool kernelCopy_;
};

}  // namespace NFS
