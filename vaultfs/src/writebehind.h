// Keeps a long write moving to the disk while it is written, instead of
// leaving it all to the final fsync, and gives the page cache back as soon as
// a stretch is on the disk. Without this every large write fills the cache
// with fresh dirty pages: on a virtual machine the first touch of each costs
// more than the copy, and a hashed copy (which cannot use the kernel's copy)
// took up to twice as long as cp.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace NFS {

class WriteBehind {
public:
    // `fd` is written sequentially from its current offset on; `chunkSize`
    // is the size of the caller's writes.
    WriteBehind(int fd, const std::filesystem::path& path, std::size_t chunkSize);

    // `bytes` more were written. Throws on a write error the kernel reports
    // here: it would not be reported again by the final fsync.
    void Written(std::uint64_t bytes);

private:
    bool Sync(off_t from, off_t length, unsigned int flags);

    int fd_;
    std::filesystem::path path_;
    off_t lag_;
    off_t settled_ = 0;  // everything before is on the disk and out of the cache
    off_t end_ = 0;
    bool active_ = true;
};

}  // namespace NFS
