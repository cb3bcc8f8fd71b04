// Moves the bytes of one open file into another in bounded steps, so memory
// use does not grow with the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "writebehind.h"

namespace NFS {

class StreamCopier {
public:
    // Called after every step with the bytes moved so far; may throw to abort.
    using Step = std::function<void(std::uint64_t done)>;

    // kernelCopy: let the kernel move the bytes (copy_file_range) when it can.
    // writeBehind: send what is written to the disk as the copy goes and drop
    // it from the page cache once there. flushAhead: also flush it in steps
    // while the copy goes on (see WriteBehind). That pays when the source is
    // in the page cache, as a file just saved by its user is; reading a file
    // from the same disk, it made a 1 GiB check-out take twice as long (a
    // flush holds the disk for the reads too).
    StreamCopier(std::size_t chunkSize, bool kernelCopy, bool writeBehind = false,
                 bool flushAhead = false);

    // From the current position of `in` to its end, written at the current
    // position of `out`. The paths only name the files in error texts.
    // With `sha256`, it receives the sum of the bytes moved (64 hex digits),
    // hashed as they pass; `out` -1 then only reads.
    std::uint64_t Copy(int in, const std::filesystem::path& inPath, int out,
                       const std::filesystem::path& outPath, const Step& step,
                       std::wstring* sha256 = nullptr) const;

private:
    WriteBehind::Tuning Tuning() const;
    std::uint64_t HashingCopy(int in, const std::filesystem::path& inPath, int out,
                              const std::filesystem::path& outPath, const Step& step,
                              std::wstring& sha256) const;
    std::uint64_t SmallHashingCopy(int in, const std::filesystem::path& inPath, int out,
                                   const std::filesystem::path& outPath, const Step& step,
                                   std::wstring& sha256, std::size_t bufferSize) const;

    std::size_t chunkSize_;
    bool kernelCopy_;
    bool writeBehind_;
    bool flushAhead_;
};

}  // namespace NFS
