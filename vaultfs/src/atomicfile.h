// A file written under a temporary name beside its target and renamed over
// it only when complete, so readers see the old file or the new one, never a
// part of the new one. The writer holds an exclusive flock on the temporary
// file for its whole life: a temporary that can be locked was abandoned by a
// process that died (see Debris).
#pragma once

#include <filesystem>
#include <optional>

#include "zub/storemode.h"
#include "zub/uniquefd.h"

namespace NFS {

class AtomicFile {
public:
    // durable: sync the data and the folder on Commit. A local copy of what
    // the server keeps need not be.
    // Creates the temporary file in the target's folder, which must exist.
    // A file of a store gets the store's mode, without write permission when
    // `sealed` (a stored file, never changed in place); any other keeps the
    // mode of the file it replaces.
    explicit AtomicFile(std::filesystem::path target, bool durable = true,
                        std::optional<zub::StoreMode> store = std::nullopt, bool sealed = false);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Removes the temporary file unless committed.
    ~AtomicFile();

    int fd() const { return fd_.get(); }
    const std::filesystem::path& temp() const { return temp_; }
    const std::filesystem::path& target() const { return target_; }

    // Renames the data over the target; durable files are synced first and
    // their folder after.
    void Commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    zub::UniqueFd fd_;
    bool durable_;
    bool committed_ = false;
};

}  // namespace NFS
