// Operation folders left empty by a finished add or check-in, kept held for
// the next operation of the same object on the same repository. Making and
// removing a folder costs a small file's add about as much as the rest of
// its file work.
//
// A kept folder is empty, named by no mark and held by this process, so no
// other process finishes, reuses or removes it, and a check of the
// repository passes it by as in use. The pool removes what it keeps when it
// is destroyed; a process killed leaves its folders empty and unheld, for
// the check's repair as any interrupted operation's.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "vaultfs/nfsbackend.h"

namespace DRM {

class RepoFiles;

class StagePool {
public:
    struct Folder {
        std::wstring rel;  // relative to the repository's root
        std::unique_ptr<NFS::NfsHold> hold;
    };

    // A folder kept longer than this is removed instead of used again: a
    // hold on a remote server lapses in time.
    static constexpr std::chrono::minutes kIdle{10};
    // Folders kept per repository; more come from threads sharing the pool.
    static constexpr std::size_t kPerRepository = 2;

    StagePool();
    StagePool(const StagePool&) = delete;
    StagePool& operator=(const StagePool&) = delete;
    ~StagePool();

    // A kept folder of the repository `files` works on, still held.
    std::optional<Folder> Take(const RepoFiles& files);
    // Keeps an empty folder held by this process; removes it when the
    // repository has enough kept.
    void Give(const RepoFiles& files, Folder folder);

private:
    struct Kept {
        std::wstring server;
        unsigned short port = 0;
        std::wstring dir;
        std::wstring path;  // the folder's, on the server
        Folder folder;
        std::chrono::steady_clock::time_point since;
    };

    // Takes the kept folders that have waited too long out of the pool.
    std::vector<Kept> TakeExpired();
    static void Drop(std::vector<Kept>& gone);

    std::mutex mutex_;
    std::vector<Kept> kept_;
    pid_t owner_;  // a forked child shares the holds but must not use them
};

}  // namespace DRM
