#include "tempdir.h"

#include <sys/stat.h>

#include <cerrno>

#include "fsutil.h"

namespace NFS {

TempDir::TempDir(std::filesystem::path destination) : destination_(std::move(destination)) {
    const std::filesystem::path parent = destination_.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temp =
            parent / fsutil::TemporaryName(destination_.filename().native());
        if (::mkdir(temp.c_str(), 0777) == 0) {
            temp_ = std::move(temp);
            return;
        }
        if (errno != EEXIST)
            fsutil::ThrowErrno(errno, "cannot create a temporary folder in", parent);
    }
    fsutil::ThrowErrno(EEXIST, "cannot create a temporary folder in", parent);
}

TempDir::~TempDir() {
    if (!committed_) {
        std::error_code ec;
        std::filesystem::remove_all(temp_, ec);
    }
}

void TempDir::Commit() {
    // The tree is written unsynced; one flush of its file system puts all of
    // it on the disk before the rename makes it visible.
    fsutil::SyncFileSystem(temp_);
    fsutil::RenameNoReplace(temp_, destination_);
    committed_ = true;
    fsutil::SyncDir(destination_.parent_path());
}

}  // namespace NFS
