#include "tempdir.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "fsutil.h"

namespace NFS {

TempDir::TempDir(std::filesystem::path destination, const zub::StoreMode& store)
    : destination_(std::move(destination)) {
    const std::filesystem::path parent = destination_.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temp =
            parent / fsutil::TemporaryName(destination_.filename().native());
        if (::mkdir(temp.c_str(), 0700) != 0) {
            if (errno != EEXIST)
                fsutil::ThrowErrno(errno, "cannot create a temporary folder in", parent);
            continue;
        }
        zub::UniqueFd fd(::open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd) fsutil::ThrowErrno(errno, "cannot open", temp);
        if (!fsutil::LockFresh(fd.get(), temp)) continue;
        store.SetFolder(temp);
        temp_ = std::move(temp);
        lock_ = std::move(fd);
        return;
    }
    fsutil::ThrowErrno(EEXIST, "cannot create a temporary folder in", parent);
}

TempDir::~TempDir() {
    if (!committed_) {
        std::error_code ec;
        std::filesystem::remove_all(temp_, ec);
    }
}

namespace {

// Syncs folders from several threads at once: a journaling file system
// commits the waiting syncs together instead of one journal commit each.
void SyncFolders(const std::vector<std::filesystem::path>& folders) {
    constexpr std::size_t kThreads = 8;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::exception_ptr failure;
    auto work = [&] {
        for (std::size_t i = next++; i < folders.size(); i = next++) {
            try {
                fsutil::SyncDir(folders[i]);
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!failure) failure = std::current_exception();
            }
        }
    };
    {
        // Joined when the block ends, also when starting a thread fails.
        std::vector<std::jthread> threads;
        for (std::size_t t = 1; t < std::min(kThreads, folders.size()); ++t)
            threads.emplace_back(work);
        work();
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

void TempDir::Commit(bool namesOnly) {
    // The tree is written unsynced; one flush of its file system puts all of
    // it on the disk before the rename makes it visible.
    if (namesOnly) {
        std::vector<std::filesystem::path> folders{temp_};
        for (const auto& entry : std::filesystem::recursive_directory_iterator(temp_))
            if (entry.is_directory() && !entry.is_symlink()) folders.push_back(entry.path());
        SyncFolders(folders);
    } else {
        fsutil::SyncFileSystem(temp_);
    }
    fsutil::RenameNoReplace(temp_, destination_);
    committed_ = true;
    lock_.Reset();
    fsutil::SyncDir(destination_.parent_path());
}

}  // namespace NFS
