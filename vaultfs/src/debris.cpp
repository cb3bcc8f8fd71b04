#include "debris.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "fsutil.h"
#include "zub/uniquefd.h"

namespace NFS {

namespace fs = std::filesystem;

namespace {

std::uint64_t TreeBytes(const fs::path& dir) {
    std::uint64_t bytes = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError)) {
            const std::uintmax_t size = it->file_size(sizeError);
            if (!sizeError) bytes += size;
        }
    }
    return bytes;
}

std::wstring ServerPath(const std::wstring& base, const fs::path& relative) {
    std::wstring text = base;
    for (const auto& part : relative) {
        if (!text.empty()) text += L"\\";
        text += fsutil::ToText(part);
    }
    return text;
}

}  // namespace

std::vector<NfsDebris> Debris::Collect(const fs::path& start, const std::wstring& serverBase,
                                       bool remove, const NfsBackend::Keep& keep) {
    std::vector<fs::path> candidates;
    std::error_code ec;
    fs::recursive_directory_iterator it(start, ec);
    if (ec) fsutil::ThrowErrno(ec.value(), "cannot list", start);
    for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec) fsutil::ThrowErrno(ec.value(), "cannot list", start);
        if (!fsutil::IsTemporaryName(it->path().filename().native())) continue;
        std::error_code kindError;
        if (it->is_directory(kindError)) it.disable_recursion_pending();
        candidates.push_back(it->path());
    }

    std::vector<NfsDebris> found;
    for (const fs::path& path : candidates) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;  // finished meanwhile
        const bool folder = S_ISDIR(st.st_mode);
        if (!folder && !S_ISREG(st.st_mode)) continue;  // never one of ours
        zub::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK |
                                                  (folder ? O_DIRECTORY : 0)));
        if (!fd) continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) continue;  // a running transfer holds it
            fsutil::ThrowErrno(errno, "cannot lock", path);
        }
        // Still the entry we listed, and still linked?
        struct stat held {};
        if (::fstat(fd.get(), &held) != 0 || held.st_nlink == 0 || held.st_ino != st.st_ino ||
            held.st_dev != st.st_dev)
            continue;
        NfsDebris item;
        item.path = ServerPath(serverBase, path.lexically_relative(start));
        if (keep && keep(item.path)) continue;
        item.folder = folder;
        item.bytes = folder ? TreeBytes(path) : static_cast<std::uint64_t>(st.st_size);
        if (remove) {
            if (folder)
                fs::remove_all(path);
            else
                fs::remove(path);
            fsutil::SyncDir(path.parent_path());
        }
        found.push_back(std::move(item));
    }
    return found;
}

}  // namespace NFS
