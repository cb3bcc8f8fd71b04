// Finds the temporaries (AtomicFile, TempDir) whose writer died: a writer
// holds an flock on its temporary until it is renamed or removed, so one
// that can be locked is abandoned. Removal happens under that lock, and a
// writer that finds its new temporary gone draws another, so a running
// transfer never loses its file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "vaultfs/nfsbackend.h"

namespace NFS {

class Debris {
public:
    // `start` is a folder inside the root whose server path is `serverBase`
    // ("" for the root).
    // Entries whose server path `keep` accepts are neither listed nor removed.
    static std::vector<NfsDebris> Collect(const std::filesystem::path& start,
                                          const std::wstring& serverBase, bool remove,
                                          const NfsBackend::Keep& keep = NfsBackend::Keep());
};

}  // namespace NFS
