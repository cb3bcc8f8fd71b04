#include "streamcopier.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "fsutil.h"

namespace NFS {

StreamCopier::StreamCopier(std::size_t chunkSize, bool kernelCopy)
    : chunkSize_(std::max<std::size_t>(chunkSize, 4096)), kernelCopy_(kernelCopy) {}

std::uint64_t StreamCopier::Copy(int in, const std::filesystem::path& inPath, int out,
                                 const std::filesystem::path& outPath, const Step& step) const {
    std::uint64_t done = 0;
    bool kernel = kernelCopy_;
    while (kernel) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, chunkSize_, 0);
        if (n > 0) {
            done += static_cast<std::uint64_t>(n);
            if (step) step(done);
            continue;
        }
        if (n == 0) return done;
        if (errno == EINTR) continue;
        // Both offsets live in the descriptors, so the plain loop can take over
        // where the kernel stopped.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EBADF)
            kernel = false;
        else if (errno == EFBIG || errno == ENOSPC || errno == EDQUOT)
            fsutil::ThrowErrno(errno, "cannot write", outPath);
        else
            fsutil::ThrowErrno(errno, "cannot copy to " + outPath.native() + " from", inPath);
    }

    const auto buffer = std::make_unique_for_overwrite<char[]>(chunkSize_);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), chunkSize_);
        if (got < 0) {
            if (errno == EINTR) continue;
            fsutil::ThrowErrno(errno, "cannot read", inPath);
        }
        if (got == 0) return done;
        std::size_t written = 0;
        while (written < static_cast<std::size_t>(got)) {
            const ssize_t w =
                ::write(out, buffer.get() + written, static_cast<std::size_t>(got) - written);
            if (w < 0) {
                if (errno == EINTR) continue;
                fsutil::ThrowErrno(errno, "cannot write", outPath);
            }
            written += static_cast<std::size_t>(w);
        }
        done += static_cast<std::uint64_t>(got);
        if (step) step(done);
    }
}

}  // namespace NFS
