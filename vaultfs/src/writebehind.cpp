#include "writebehind.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "fsutil.h"

namespace NFS {

WriteBehind::WriteBehind(int fd, const std::filesystem::path& path, std::size_t chunkSize)
    : WriteBehind(fd, path, chunkSize, Tuning{}) {}

WriteBehind::WriteBehind(int fd, const std::filesystem::path& path, std::size_t chunkSize,
                         Tuning tuning)
    : fd_(fd),
      path_(path),
      lag_(static_cast<off_t>(std::max<std::uint64_t>(
          2 * chunkSize, tuning.lag != 0 ? tuning.lag : kLagChunks * chunkSize))),
      flushStep_(tuning.flushStep != 0 ? tuning.flushStep : kFlushChunks * chunkSize),
      dataSync_(tuning.dataSync != nullptr ? tuning.dataSync : &::fdatasync) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0) {
        active_ = false;
        return;
    }
    settled_ = end_ = requested_ = at;
}

WriteBehind::~WriteBehind() { Stop(); }

void WriteBehind::Written(std::uint64_t bytes) {
    ThrowFlushError();
    if (!active_ || bytes == 0) return;
    const off_t from = end_;
    end_ += static_cast<off_t>(bytes);
    if (!Sync(from, end_ - from, SYNC_FILE_RANGE_WRITE)) return;
    // A stretch stays in flight so the disk never waits for the copy, and
    // the copy does not wait while a flush holds the disk.
    const off_t upto = end_ - lag_;
    if (upto - settled_ < lag_) return;
    if (!Sync(settled_, upto - settled_,
              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER))
        return;
    (void)::posix_fadvise(fd_, settled_, upto - settled_, POSIX_FADV_DONTNEED);
    settled_ = upto;
    if (static_cast<std::uint64_t>(settled_ - requested_) >= flushStep_) RequestFlush();
}

void WriteBehind::Finish() {
    Stop();
    ThrowFlushError();
}

void WriteBehind::RequestFlush() {
    requested_ = settled_;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        flushTo_ = settled_;
    }
    // Short writes never pay for the thread.
    if (!flusher_.joinable())
        flusher_ = std::thread(&WriteBehind::Flusher, this);
    else
        wake_.notify_one();
}

void WriteBehind::Flusher() {
    off_t done = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || flushTo_ > done; });
        // A requested flush is done even when stopping: Finish reports on it.
        if (flushTo_ <= done || flushError_ != 0) return;
        const off_t target = flushTo_;
        lock.unlock();
        int error = 0;
        while (dataSync_(fd_) != 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        lock.lock();
        if (error != 0) {
            flushError_ = error;
            return;
        }
        done = target;
    }
}

void WriteBehind::Stop() {
    if (!flusher_.joinable()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    flusher_.join();
}

void WriteBehind::ThrowFlushError() {
    int error = 0;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        error = flushError_;
    }
    if (error != 0) fsutil::ThrowErrno(error, "cannot write", path_);
}

bool WriteBehind::Sync(off_t from, off_t length, unsigned int flags) {
    while (::sync_file_range(fd_, from, length, flags) != 0) {
        if (errno == EINTR) continue;
        // Not a regular file, or a file system that cannot: the final fsync
        // does all the work, as without this.
        if (errno == ESPIPE || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
            active_ = false;
            return false;
        }
        fsutil::ThrowErrno(errno, "cannot write", path_);
    }
    return true;
}

}  // namespace NFS
