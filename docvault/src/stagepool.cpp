#include "internal/stagepool.h"

#include <unistd.h>

#include "internal/repofiles.h"
#include "vaultfs/cnfs_cmd.h"

namespace DRM {

StagePool::StagePool() : owner_(::getpid()) {}

StagePool::~StagePool() {
    if (::getpid() != owner_) {
        // In a forked child: the holds are its parent's too, and a remote
        // one would be given back by destroying it.
        for (Kept& k : kept_) static_cast<void>(k.folder.hold.release());
        return;
    }
    Drop(kept_);
}

std::optional<StagePool::Folder> StagePool::Take(const RepoFiles& files) {
    if (::getpid() != owner_) return std::nullopt;
    std::vector<Kept> expired;
    std::optional<Folder> found;
    {
        std::lock_guard lock(mutex_);
        expired = TakeExpired();
        for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
            if (it->server != files.server() || it->port != files.port() || it->dir != files.dir())
                continue;
            found = std::move(it->folder);
            kept_.erase(std::next(it).base());
            break;
        }
    }
    Drop(expired);
    return found;
}

void StagePool::Give(const RepoFiles& files, Folder folder) {
    std::vector<Kept> gone;
    const std::wstring path = files.Path(folder.rel);
    gone.push_back({files.server(), files.port(), files.dir(), path, std::move(folder),
                    std::chrono::steady_clock::now()});
    if (::getpid() == owner_) {
        std::lock_guard lock(mutex_);
        std::vector<Kept> expired = TakeExpired();
        std::size_t same = 0;
        for (const Kept& k : kept_)
            same += k.server == files.server() && k.port == files.port() && k.dir == files.dir();
        if (same < kPerRepository) {
            kept_.push_back(std::move(gone.back()));
            gone.pop_back();
        }
        for (Kept& k : expired) gone.push_back(std::move(k));
    }
    Drop(gone);
}

std::vector<StagePool::Kept> StagePool::TakeExpired() {
    std::vector<Kept> expired;
    const auto now = std::chrono::steady_clock::now();
    for (auto it = kept_.begin(); it != kept_.end();) {
        if (now - it->since < kIdle) {
            ++it;
            continue;
        }
        expired.push_back(std::move(*it));
        it = kept_.erase(it);
    }
    return expired;
}

void StagePool::Drop(std::vector<Kept>& gone) {
    NFS::CNFS_Cmd& cmd = *NFS::CNFS_Cmd::Instance();
    for (Kept& k : gone) {
        // Removed under the hold; a failure leaves an empty folder that the
        // check's repair removes once nobody holds it.
        cmd.rmWork(k.server, k.port, k.path);
        k.folder.hold.reset();
    }
    gone.clear();
}

}  // namespace DRM
