// Compares the files a repository keeps with the SHA-256 and size recorded
// for them (a document's current file, every saved version, every file of a
// baseline) and records the sums and sizes that rows of an older store lack.
// Reading every file is slow; without it the sizes are compared from a
// listing of the folders and the rows that lack a sum or size are reported.
// A stored file is never changed in place, so one that can be written is
// reported too. Never changes a file's content.
#pragma once

#include <string>
#include <vector>

#include "docvault/bo.h"

namespace DRM {

struct ContentFinding {
    enum class Kind {
        // A row without a recorded sum or size (made before they were kept), or
        // a baseline made before its files were recorded. Repair reads the
        // file and records its sum and size.
        SumMissing,
        // The file's content or size differs from the recorded one: changed or
        // damaged on the server. Not repairable here.
        Mismatch,
        // A file recorded for a baseline is gone from its folder.
        Missing,
        // A file in a baseline's folder that is not one of its recorded files.
        Unlisted,
        // The file could not be read (other than missing: RepoCheck reports that).
        NotChecked,
        // A stored file (trunk, history or baseline) that can be written to.
        // Repair takes the write permission away.
        Writable,
    };
    Kind kind = Kind::NotChecked;
    int docRepoId = 0;
    int docId = 0;
    std::wstring version;   // the saved version; empty for the current file
    std::wstring baseline;  // the baseline's name; empty for a document's file
    std::wstring path;      // the server path
    std::wstring text;      // for people
    bool repaired = false;
};

class ContentCheck : public BO {
public:
    // Examines repository docRepoId (0: every one). readAll: read every file
    // and compare it with its sum; fill: record the sums that are missing and
    // take the write permission away from stored files.
    // Rows of unfinished operations are left to RepoCheck. Returns 0 when the
    // examination ran, else the error number recorded on the object.
    int Examine(int docRepoId, bool readAll, bool fill, std::vector<ContentFinding>& findings);

private:
    class Examiner;
};

}  // namespace DRM
