// The SHA-256 recorded for stored files (ContentSha256 of the document row
// for its current file, of the history row for a saved version) and the
// downloads checked against it.
#pragma once

#include <functional>
#include <string>

#include "vaultfs/nfsbackend.h"

class BO;

namespace DRM {

class RepoFiles;

class ContentSums {
public:
    // Reads a recorded sum and size into `expect` and `expectBytes` of its
    // argument ("" and -1 when none is recorded yet); 0 or the status it
    // recorded on the object.
    using Lookup = std::function<int(NFS::ContentSum& sum)>;

    // The sum and size of document docId's current file.
    static int Current(BO& bo, int docId, NFS::ContentSum& sum);
    // The sum and size of the version (main, sub) saved in docId's history
    // (the newest row of that version).
    static int Saved(BO& bo, int docId, int main, int sub, NFS::ContentSum& sum);

    // Downloads `remote` checked against the sum `recorded` reads. A mismatch
    // while the recorded sum changes under it (a check-in published between
    // the look-up and the read) is tried again with the new sum; one that
    // stays is reported (NFS_E_CONTENT) and no file is left. A status,
    // recorded on the object.
    static int Download(RepoFiles& files, const std::wstring& remote, const std::wstring& localDir,
                        const std::wstring& localName, const Lookup& recorded);
};

}  // namespace DRM
