#include "streamcopier.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

#include "fsutil.h"
#include "hashpipe.h"
#include "sha256.h"
#include "writebehind.h"

namespace NFS {

namespace {

// Hashed chunks in flight: enough that neither thread waits for the other.
constexpr std::size_t kHashBuffers = 4;

std::size_t ReadSome(int in, const std::filesystem::path& inPath, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(in, buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) fsutil::ThrowErrno(errno, "cannot read", inPath);
    }
}

void WriteAll(int out, const std::filesystem::path& outPath, const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const ssize_t w = ::write(out, data + written, size - written);
        if (w < 0) {
            if (errno == EINTR) continue;
            fsutil::ThrowErrno(errno, "cannot write", outPath);
        }
        written += static_cast<std::size_t>(w);
    }
}

}  // namespace

StreamCopier::StreamCopier(std::size_t chunkSize, bool kernelCopy, bool writeBehind,
                           bool flushAhead)
    : chunkSize_(std::max<std::size_t>(chunkSize, 4096)),
      kernelCopy_(kernelCopy),
      writeBehind_(writeBehind),
      flushAhead_(flushAhead) {}

WriteBehind::Tuning StreamCopier::Tuning() const {
    WriteBehind::Tuning t;
    if (!flushAhead_) t.flushStep = UINT64_MAX;
    return t;
}

std::uint64_t StreamCopier::Copy(int in, const std::filesystem::path& inPath, int out,
                                 const std::filesystem::path& outPath, const Step& step,
                                 std::wstring* sha256) const {
    if (sha256 != nullptr) return HashingCopy(in, inPath, out, outPath, step, *sha256);
    std::uint64_t done = 0;
    std::optional<WriteBehind> behind;
    if (writeBehind_) behind.emplace(out, outPath, chunkSize_, Tuning());
    bool kernel = kernelCopy_;
    while (kernel) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, chunkSize_, 0);
        if (n > 0) {
            done += static_cast<std::uint64_t>(n);
            if (behind) behind->Written(static_cast<std::uint64_t>(n));
            if (step) step(done);
            continue;
        }
        if (n == 0) {
            if (behind) behind->Finish();
            return done;
        }
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
        const std::size_t got = ReadSome(in, inPath, buffer.get(), chunkSize_);
        if (got == 0) {
            if (behind) behind->Finish();
            return done;
        }
        WriteAll(out, outPath, buffer.get(), got);
        if (behind) behind->Written(got);
        done += got;
        if (step) step(done);
    }
}

// The kernel cannot hash what it copies, so the bytes pass through this
// process: read here, hashed on the pipe's thread while written from here.
std::uint64_t StreamCopier::HashingCopy(int in, const std::filesystem::path& inPath, int out,
                                        const std::filesystem::path& outPath, const Step& step,
                                        std::wstring& sha256) const {
    struct stat st {};
    if (::fstat(in, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) < chunkSize_)
        return SmallHashingCopy(in, inPath, out, outPath, step, sha256,
                                static_cast<std::size_t>(st.st_size) + 1);
    HashPipe pipe(chunkSize_, kHashBuffers);
    std::optional<WriteBehind> behind;
    if (writeBehind_ && out >= 0) behind.emplace(out, outPath, chunkSize_, Tuning());
    std::uint64_t done = 0;
    for (;;) {
        char* buffer = pipe.Acquire();
        const std::size_t got = ReadSome(in, inPath, buffer, chunkSize_);
        if (got == 0) break;
        pipe.Submit(got);
        if (out >= 0) WriteAll(out, outPath, buffer, got);
        if (behind) behind->Written(got);
        done += got;
        if (step) step(done);
    }
    sha256 = pipe.Finish();
    if (behind) behind->Finish();
    return done;
}

// A file shorter than a chunk gains nothing from hashing beside the write,
// and a thread and the pipe's chunks cost more than its bytes: read, hashed
// and written here, in a buffer of its size (a file that grows meanwhile
// takes more turns).
std::uint64_t StreamCopier::SmallHashingCopy(int in, const std::filesystem::path& inPath, int out,
                                             const std::filesystem::path& outPath, const Step& step,
                                             std::wstring& sha256, std::size_t bufferSize) const {
    const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
    Sha256 sum;
    std::optional<WriteBehind> behind;
    if (writeBehind_ && out >= 0) behind.emplace(out, outPath, chunkSize_, Tuning());
    std::uint64_t done = 0;
    for (;;) {
        const std::size_t got = ReadSome(in, inPath, buffer.get(), bufferSize);
        if (got == 0) break;
        sum.Update(buffer.get(), got);
        if (out >= 0) WriteAll(out, outPath, buffer.get(), got);
        if (behind) behind->Written(got);
        done += got;
        if (step) step(done);
    }
    sha256 = sum.HexFinal();
    if (behind) behind->Finish();
    return done;
}

}  // namespace NFS
