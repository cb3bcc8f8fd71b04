#include "writebehind.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "fsutil.h"

namespace NFS {

WriteBehind::WriteBehind(int fd, const std::filesystem::path& path, std::size_t chunkSize)
    : fd_(fd), path_(path), lag_(static_cast<off_t>(2 * chunkSize)) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0) {
        active_ = false;
        return;
    }
    settled_ = end_ = at;
}

void WriteBehind::Written(std::uint64_t bytes) {
    if (!active_ || bytes == 0) return;
    const off_t from = end_;
    end_ += static_cast<off_t>(bytes);
    if (!Sync(from, end_ - from, SYNC_FILE_RANGE_WRITE)) return;
    // Two chunks stay in flight so the disk never waits for the copy.
    const off_t upto = end_ - lag_;
    if (upto - settled_ < lag_) return;
    if (!Sync(settled_, upto - settled_,
              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER))
        return;
    (void)::posix_fadvise(fd_, settled_, upto - settled_, POSIX_FADV_DONTNEED);
    settled_ = upto;
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
