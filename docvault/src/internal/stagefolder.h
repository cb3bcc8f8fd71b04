// A folder of one operation below the repository's staging folder, where it
// keeps what it has not published yet. Its owner holds it (the file server's
// hold, let go when the process dies) from its creation until the work is
// published or given up, so another process finishes that work only once the
// owner is gone, and only one process at a time.
#pragma once

#include <memory>
#include <string>

#include "vaultfs/nfsbackend.h"

namespace DRM {

class RepoFiles;
class StagePool;

class StageFolder {
public:
    enum class Taken { Held, Busy, Gone };

    StageFolder() = default;
    // Takes its folder from `pool` when it holds one, and gives it back there.
    explicit StageFolder(StagePool* pool) : pool_(pool) {}
    StageFolder(const StageFolder&) = delete;
    StageFolder& operator=(const StageFolder&) = delete;
    ~StageFolder();

    // Holds an empty folder: one the pool kept from an earlier operation,
    // else a fresh one. A status recorded on the object.
    int Create(RepoFiles& files);
    // Takes the hold of an existing folder `rel`: Held, Busy while another
    // process keeps it, Gone when it is not there. A status, recorded.
    int Take(RepoFiles& files, const std::wstring& rel, Taken& taken);
    // Stores the local file as File(), with the SHA-256 and size of what was
    // stored; a status, recorded. Written in place: nobody reads it before a
    // commit names it. A kept folder that fails it is removed and the upload
    // made again in a fresh one.
    int Upload(RepoFiles& files, const std::wstring& localFile, std::wstring& sha256,
               long long& bytes);
    // Removes the folder with what it holds and lets go of it.
    void Remove(RepoFiles& files);
    // Lets go of the hold and keeps the folder.
    void Release() { hold_.reset(); }
    // Keeps the folder, which the caller has emptied and no mark names, in
    // the pool for the next operation; without a pool, removes it.
    void Recycle(RepoFiles& files);

    // Relative to the repository's root.
    const std::wstring& rel() const { return rel_; }
    std::wstring File() const { return rel_ + L"\\content"; }

    // The staging folder of every operation of a repository; no name a user
    // gives reaches it.
    static const std::wstring& Root();
    // The operation folder a staged path lies in; empty for a path outside
    // the staging folder (left by an earlier version of the library).
    static std::wstring FolderOf(const std::wstring& rel);

private:
    int CreateFresh(RepoFiles& files);

    std::wstring rel_;
    std::unique_ptr<NFS::NfsHold> hold_;
    StagePool* pool_ = nullptr;
    bool kept_ = false;  // came from the pool
};

}  // namespace DRM
