// Keeps a long write moving to the disk while it is written, instead of
// leaving it all to the final fsync, and gives the page cache back as soon as
// a stretch is on the disk. Without this every large write fills the cache
// with fresh dirty pages: on a virtual machine the first touch of each costs
// more than the copy, and a hashed copy (which cannot use the kernel's copy)
// took up to twice as long as cp.
//
// Once a long write has settled `flushStep` bytes, a second thread also makes
// what has settled durable (fdatasync) while the write goes on. A virtual
// disk keeps written blocks in the host's cache until a flush; one flush at
// the end then stored the whole file after the copy was done, and a hashed
// copy, bound by its hashing, paid for both one after the other.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>

namespace NFS {

class WriteBehind {
public:
    using DataSync = int (*)(int fd);  // as fdatasync(2)

    // In chunks of the caller's writes. Measured on a virtual disk with
    // 1 MiB chunks: a flush of 32 MiB holds the disk about as long as the
    // copy takes to write 32 MiB more, so neither waits for the other.
    static constexpr std::uint64_t kLagChunks = 32;
    static constexpr std::uint64_t kFlushChunks = 32;

    struct Tuning {
        std::uint64_t lag = 0;        // bytes written, not yet waited for; 0: kLagChunks
        std::uint64_t flushStep = 0;  // 0: kFlushChunks
        DataSync dataSync = nullptr;  // null: fdatasync
    };

    // `fd` is written sequentially from its current offset on; `chunkSize`
    // is the size of the caller's writes.
    WriteBehind(int fd, const std::filesystem::path& path, std::size_t chunkSize);
    WriteBehind(int fd, const std::filesystem::path& path, std::size_t chunkSize, Tuning tuning);
    // Waits for the requested flushes; their failure is lost unless Finish ran.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // `bytes` more were written. Throws on a write error the kernel reports
    // here or to an earlier flush: it would not be reported again by the
    // final fsync.
    void Written(std::uint64_t bytes);

    // The write is complete: waits for the flushes requested so far and
    // throws if any failed. The caller's fsync still makes the rest durable.
    void Finish();

private:
    bool Sync(off_t from, off_t length, unsigned int flags);
    void RequestFlush();
    void Flusher();
    void Stop();
    void ThrowFlushError();

    int fd_;
    std::filesystem::path path_;
    off_t lag_;
    off_t settled_ = 0;  // everything before is on the disk and out of the cache
    off_t end_ = 0;
    bool active_ = true;

    std::uint64_t flushStep_;
    DataSync dataSync_;
    off_t requested_ = 0;  // settled bytes handed to the flusher
    std::mutex mutex_;
    std::condition_variable wake_;
    off_t flushTo_ = 0;   // guarded: what the flusher should make durable
    bool stop_ = false;   // guarded
    int flushError_ = 0;  // guarded: errno of the first failed flush
    std::thread flusher_;
};

}  // namespace NFS
