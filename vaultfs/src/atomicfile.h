// A file written under a temporary name beside its target and renamed over
// it only when complete, so readers see the old file or the new one, never a
// part of the new one.
#pragma once

#include <filesystem>

#include "uniquefd.h"

namespace NFS {

class AtomicFile {
public:
    // Creates the temporary file in the target's folder, which must exist.
    explicit AtomicFile(std::filesystem::path target);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    // Removes the temporary file unless committed.
    ~AtomicFile();

    int fd() const { return fd_.get(); }
    const std::filesystem::path& temp() const { return temp_; }
    const std::filesystem::path& target() const { return target_; }

    // Syncs the data, renames it over the target and syncs the folder.
    void Commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    UniqueFd fd_;
    bool committed_ = false;
};

}  // namespace NFS
