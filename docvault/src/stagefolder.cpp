#include "internal/stagefolder.h"

#include "docvault/errors.h"
#include "internal/repofiles.h"
#include "internal/stagepool.h"
#include "vaultfs/cnfs_cmd.h"

namespace DRM {

StageFolder::~StageFolder() = default;

const std::wstring& StageFolder::Root() {
    static const std::wstring root = L"\\.zub-staging";
    return root;
}

std::wstring StageFolder::FolderOf(const std::wstring& rel) {
    const std::wstring prefix = Root() + L"\\";
    if (rel.compare(0, prefix.size(), prefix) != 0) return std::wstring();
    const std::size_t end = rel.find(L'\\', prefix.size());
    if (end == prefix.size()) return std::wstring();
    return rel.substr(0, end);
}

int StageFolder::Create(RepoFiles& files) {
    if (pool_ != nullptr && !files.refusal()) {
        if (std::optional<StagePool::Folder> kept = pool_->Take(files)) {
            rel_ = std::move(kept->rel);
            hold_ = std::move(kept->hold);
            kept_ = true;
            return 0;
        }
    }
    return CreateFresh(files);
}

int StageFolder::CreateFresh(RepoFiles& files) {
    kept_ = false;
    for (int attempt = 0;; ++attempt) {
        const std::wstring rel = Root() + L"\\" + kStagingPrefix + StagingNonce();
        if (int rc =
                files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.mkWork(server, port, files.Path(rel));
                }))
            return rc;
        Taken taken = Taken::Gone;
        if (int rc = Take(files, rel, taken)) return rc;
        if (taken == Taken::Held) return 0;
        // A cleaner took the empty folder for a dead one's: draw another.
        if (attempt == 20) return files.Refuse(Err::kBusy, Err::kBusyText);
    }
}

int StageFolder::Take(RepoFiles& files, const std::wstring& rel, Taken& taken) {
    rel_ = rel;
    hold_.reset();
    std::unique_ptr<NFS::NfsHold> hold;
    const long rc =
        files.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            return cmd.hold(server, port, files.Path(rel), hold);
        });
    if (rc == NFS::NFS_E_NOT_FOUND) {
        taken = Taken::Gone;
        return 0;
    }
    if (rc != 0) return files.Record();
    taken = hold ? Taken::Held : Taken::Busy;
    hold_ = std::move(hold);
    return 0;
}

int StageFolder::Upload(RepoFiles& files, const std::wstring& localFile, std::wstring& sha256,
                        long long& bytes) {
    NFS::ContentSum sum;
    int rc = files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
        std::uint64_t count = 0;
        return cmd.uploadWork(server, port, localFile, files.Path(File()), count, sum);
    });
    if (rc != 0 && kept_) {
        // Removed or filled behind the pool's back: the upload gets a fresh
        // folder; a failure of the local file fails again and is reported.
        Remove(files);
        if ((rc = CreateFresh(files)) == 0) return Upload(files, localFile, sha256, bytes);
    }
    sha256 = sum.sha256;
    bytes = rc == 0 ? sum.bytes : -1;
    return rc;
}

void StageFolder::Recycle(RepoFiles& files) {
    if (pool_ == nullptr || !hold_ || files.refusal()) {
        Remove(files);
        return;
    }
    pool_->Give(files, {rel_, std::move(hold_)});
}

void StageFolder::Remove(RepoFiles& files) {
    if (!rel_.empty() && hold_) {
        files.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            return cmd.rmWork(server, port, files.Path(rel_));
        });
    }
    hold_.reset();
}

}  // namespace DRM
