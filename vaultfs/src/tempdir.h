// A folder tree built under a temporary name beside its destination and
// renamed into place when complete: a failed copy leaves no half tree. Like
// AtomicFile, the builder holds an flock on the folder for its whole life.
#pragma once

#include <filesystem>

#include "zub/storemode.h"
#include "zub/uniquefd.h"

namespace NFS {

class TempDir {
public:
    // Creates the temporary folder in the destination's parent, which must exist.
    // It and the tree made in it take the store's folder mode.
    TempDir(std::filesystem::path destination, const zub::StoreMode& store);
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Removes the temporary tree unless committed.
    ~TempDir();

    const std::filesystem::path& path() const { return temp_; }

    // Flushes the tree to the disk, then renames it to the destination; an
    // existing destination is an error. The tree needs no syncs of its own.
    // `namesOnly`: the tree holds only new names of files already on the
    // disk (hard links): its folders are synced instead of the whole file
    // system, which may hold much unwritten data of others.
    void Commit(bool namesOnly = false);

private:
    std::filesystem::path destination_;
    std::filesystem::path temp_;
    zub::UniqueFd lock_;
    bool committed_ = false;
};

}  // namespace NFS
