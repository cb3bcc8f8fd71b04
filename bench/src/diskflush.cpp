#include "diskflush.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "zub/uniquefd.h"

namespace zub::bench {

namespace {

zub::UniqueFd Open(const std::filesystem::path& p, int flags) {
    zub::UniqueFd fd(::open(p.c_str(), flags | O_CLOEXEC));
    if (!fd) throw std::runtime_error("open " + p.string() + ": " + std::strerror(errno));
    return fd;
}

}  // namespace

void DiskFlush::File(const std::filesystem::path& file) {
    const zub::UniqueFd fd = Open(file, O_RDONLY);
    if (::fsync(fd.get()) != 0)
        throw std::runtime_error("fsync " + file.string() + ": " + std::strerror(errno));
}

void DiskFlush::Folder(const std::filesystem::path& dir) {
    const zub::UniqueFd fd = Open(dir, O_RDONLY | O_DIRECTORY);
    if (::fsync(fd.get()) != 0)
        throw std::runtime_error("fsync " + dir.string() + ": " + std::strerror(errno));
}

void DiskFlush::FileSystem(const std::filesystem::path& path) {
    const zub::UniqueFd fd = Open(path, O_RDONLY);
    if (::syncfs(fd.get()) != 0)
        throw std::runtime_error("syncfs " + path.string() + ": " + std::strerror(errno));
}

void DiskFlush::Evict(const std::filesystem::path& dir, std::uintmax_t minBytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec) || it->file_size(ec) < minBytes) continue;
        const zub::UniqueFd fd(::open(it->path().c_str(), O_RDONLY | O_CLOEXEC));
        if (fd) ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED);
    }
}

}  // namespace zub::bench
