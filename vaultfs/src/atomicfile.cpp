#include "atomicfile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "fsutil.h"

namespace NFS {

AtomicFile::AtomicFile(std::filesystem::path target, bool durable,
                       std::optional<zub::StoreMode> store, bool sealed)
    : target_(std::move(target)), durable_(durable) {
    const mode_t createMode = store ? 0600 : 0666;
    const std::filesystem::path dir = target_.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temp = dir / fsutil::TemporaryName(target_.filename().native());
        zub::UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode));
        if (!fd) {
            if (errno != EEXIST)
                fsutil::ThrowErrno(errno, "cannot create a temporary file in", dir);
            continue;
        }
        // A cleaner that locked the new name first has removed it: draw another.
        if (!fsutil::LockFresh(fd.get(), temp)) continue;
        temp_ = std::move(temp);
        fd_ = std::move(fd);
        break;
    }
    if (!fd_) fsutil::ThrowErrno(EEXIST, "cannot create a temporary file in", dir);
    if (store) {
        if (sealed)
            fsutil::Seal(fd_.get(), temp_, *store);
        else
            store->SetFile(fd_.get(), temp_);
        return;
    }
    // A replaced file keeps its permissions.
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        (void)::fchmod(fd_.get(), st.st_mode & 07777);
}

AtomicFile::~AtomicFile() {
    if (!committed_) {
        // Unlinked while still locked, so no cleaner sees it abandoned.
        ::unlink(temp_.c_str());
        fd_.Reset();
    }
}

void AtomicFile::Commit() {
    if (durable_ && ::fsync(fd_.get()) != 0) fsutil::ThrowErrno(errno, "cannot sync", temp_);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        fsutil::ThrowErrno(errno, "cannot rename " + temp_.native() + " to", target_);
    committed_ = true;
    // Closed only now: until the rename the lock marks the temporary as in use.
    if (fd_.Close() != 0) fsutil::ThrowErrno(errno, "cannot write", target_);
    if (durable_) fsutil::SyncDir(target_.parent_path());
}

}  // namespace NFS
