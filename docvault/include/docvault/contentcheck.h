// Compares the files a repository keeps with the SHA-256 recorded for them
// (a document's current file, every saved version) and records the sums that
// rows of an older store lack. Reading every file is slow; without it only
// the rows that lack a sum are looked at. Never changes a file.
#pragma once

#include <string>
#include <vector>

#include "docvault/bo.h"

namespace DRM {

struct ContentFinding {
    enum class Kind {
        // A row without a recorded sum (made before sums were kept). Repair
        // reads the file and records its sum.
        SumMissing,
        // The file's content differs from its recorded sum: changed or damaged
        // on the server. Not repairable here.
        Mismatch,
        // The file could not be read (other than missing: RepoCheck reports that).
        NotChecked,
    };
    Kind kind = Kind::NotChecked;
    int docRepoId = 0;
    int docId = 0;
    std::wstring version;  // the saved version; empty for the current file
    std::wstring path;     // the server path
    std::wstring text;     // for people
    bool repaired = false;
};

class ContentCheck : public BO {
public:
    // Examines repository docRepoId (0: every one). readAll: read every file
    // and compare it with its sum; fill: record the sums that are missing.
    // Rows of unfinished operations are left to RepoCheck. Returns 0 when the
    // examination ran, else the error number recorded on the object.
    int Examine(int docRepoId, bool readAll, bool fill, std::vector<ContentFinding>& findings);

private:
    class Examiner;
};

}  // namespace DRM
