#include "zub/storemode.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace zub {

StoreMode StoreMode::ForFolderMode(mode_t folderMode) {
    return StoreMode((folderMode & S_IWGRP) != 0);
}

StoreMode StoreMode::Of(const std::filesystem::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return StoreMode(false);
    return ForFolderMode(st.st_mode);
}

mode_t StoreMode::Excess(mode_t mode, bool isFolder) const {
    // Set-group-id on a folder only passes its group on; it grants nothing.
    const mode_t allowed = isFolder ? folder() | S_ISGID : file();
    return mode & 07777 & ~allowed;
}

void StoreMode::MakeFolders(const std::filesystem::path& dir) const {
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec)) return;
    if (dir.has_relative_path() && dir.has_parent_path() && dir.parent_path() != dir)
        MakeFolders(dir.parent_path());
    // Made closed and opened to the policy after, whatever the umask.
    if (::mkdir(dir.c_str(), 0700) != 0) {
        if (errno == EEXIST && std::filesystem::is_directory(dir, ec)) return;
        throw std::filesystem::filesystem_error("cannot create the folder", dir,
                                                std::error_code(errno, std::generic_category()));
    }
    // Made, then removed by another process before its mode was set: the same
    // as a removal just after; the caller finds it gone when it uses it.
    if (::chmod(dir.c_str(), folder()) != 0 && errno != ENOENT)
        throw std::filesystem::filesystem_error("cannot set the mode of", dir,
                                                std::error_code(errno, std::generic_category()));
}

void StoreMode::SetFolder(const std::filesystem::path& dir) const {
    if (::chmod(dir.c_str(), folder()) != 0)
        throw std::filesystem::filesystem_error("cannot set the mode of", dir,
                                                std::error_code(errno, std::generic_category()));
}

void StoreMode::SetFile(int fd, const std::filesystem::path& path) const {
    if (::fchmod(fd, file()) != 0)
        throw std::filesystem::filesystem_error("cannot set the mode of", path,
                                                std::error_code(errno, std::generic_category()));
}

}  // namespace zub
