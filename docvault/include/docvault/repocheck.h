// Examines what a repository keeps (rows of the product database and files on
// its file server) and, asked to, completes or undoes operations that a crash
// or a failure interrupted. Never removes a user's data: a document's current
// file, a saved version, or a file in trunk without a row stay where they are
// and are only reported.
#pragma once

#include <string>
#include <vector>

#include "docvault/bo.h"

namespace DRM {

struct RepoFinding {
    enum class Kind {
        // A document row whose current file is not on the server.
        DocFileMissing,
        // A history row whose saved file is not on the server.
        HistoryFileMissing,
        // A file below trunk that no document row names.
        UntrackedTrunkFile,
        // A document row still marked by an add, check-in, rename or delete
        // that did not finish. Repair completes it (or undoes an add whose
        // staged file is gone).
        InterruptedOperation,
        // A staged file or folder left by an operation that never committed.
        // Repair removes it at once when no process holds it any more (the
        // staging folder of this version), or when it is older than
        // `staleSeconds` (one left in history or baseline by an earlier
        // version).
        StagingDebris,
        // A baseline row whose folder is missing.
        BaselineFolderMissing,
        // A folder below baseline that no baseline row names (an interrupted
        // create). Repair removes it once no running creation holds it.
        BaselineFolderWithoutRow,
        // A checked-out document whose holder is not a user.
        HolderMissing,
        // The repository's file-server root belongs to another store (a copy
        // naming the original's root): nothing there is examined or repaired.
        ForeignRoot,
        // The check could not be made (the server cannot list, a query failed).
        NotChecked,
        // A temporary of a file-server transfer whose process died. Repair
        // removes it, unless a row names it (a user's file that looks like
        // one, kept by an earlier version).
        TransferDebris,
    };
    Kind kind = Kind::NotChecked;
    int docRepoId = 0;
    int docId = 0;         // 0 when no document is concerned
    int baseLineId = 0;    // 0 when no baseline is concerned
    std::wstring path;     // the server path concerned, if any
    std::wstring version;  // the document's or the saved version concerned, if any
    std::wstring text;     // what was found, for people
    bool repaired = false;
};

class RepoCheck : public BO {
public:
    // Files and folders staged this recently may belong to an operation that
    // is still running; repair leaves them alone.
    static constexpr long kDefaultStaleSeconds = 3600;

    // Examines repository docRepoId (0: every repository of the database the
    // object is connected to) and appends one finding per fault. With
    // `repair`, interrupted operations are completed or undone and stale
    // staging debris is removed; each finding tells whether it was repaired.
    // Returns 0 when the examination ran (findings or not), else the error
    // number recorded on the object (49600 without a connection, 49609 for
    // an unknown repository, a database or file-server error).
    int Examine(int docRepoId, bool repair, std::vector<RepoFinding>& findings,
                long staleSeconds = kDefaultStaleSeconds);

    // Temporaries of dead transfers on a whole file server outside every
    // repository kept there (those are Examine's), as TransferDebris
    // findings; removed with `repair`. A status as for Examine.
    int ExamineServer(const std::wstring& server, long port, bool repair,
                      std::vector<RepoFinding>& findings);

private:
    class Examiner;
};

}  // namespace DRM
