#include "atomicfile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "fsutil.h"

namespace NFS {

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {
    const std::filesystem::path dir = target_.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temp = dir / fsutil::TemporaryName(target_.filename().native());
        UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd) {
            temp_ = std::move(temp);
            fd_ = std::move(fd);
            break;
        }
        if (errno != EEXIST) fsutil::ThrowErrno(errno, "cannot create a temporary file in", dir);
    }
    if (!fd_) fsutil::ThrowErrno(EEXIST, "cannot create a temporary file in", dir);
    // A replaced file keeps its permissions.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        (void)::fchmod(fd_.get(), st.st_mode & 07777);
}

AtomicFile::~AtomicFile() {
    if (!committed_) {
        fd_.Reset();
        ::unlink(temp_.c_str());
    }
}

void AtomicFile::Commit() {
    if (::fsync(fd_.get()) != 0) fsutil::ThrowErrno(errno, "cannot sync", temp_);
    if (fd_.Close() != 0) fsutil::ThrowErrno(errno, "cannot write", temp_);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        fsutil::ThrowErrno(errno, "cannot rename " + temp_.native() + " to", target_);
    committed_ = true;
    fsutil::SyncDir(target_.parent_path());
}

}  // namespace NFS
