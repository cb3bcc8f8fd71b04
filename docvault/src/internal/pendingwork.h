// The state machine of interrupted document operations. An add, check-in,
// rename or delete commits its rows with a pending mark naming what is left
// to do on the file server; whoever meets the mark (the operation itself, the
// next operation on the document, a repository check) finishes that work and
// clears the mark. Every step is idempotent, and only the holder of the
// operation's staging folder finishes it, so finishing another process's
// work is safe while that process is alive.
#pragma once

#include <chrono>
#include <memory>
#include <string>

class BO;

namespace DRM {

class DocTable;
class RepoFiles;
class StageFolder;

class PendingWork {
public:
    // What is left to do, as the row's PendingFile holds it:
    // "<kind>|<a>|<b>", paths relative to the repository's root. The row's
    // own path is where the current file belongs.
    struct Mark {
        std::wstring kind;
        std::wstring a;  // add, checkin: the staged file; rename: the old path
        std::wstring b;  // checkin: where the replaced file goes

        static Mark Parse(const std::wstring& text);
        std::wstring Text() const;
    };
    static constexpr const wchar_t* kAdd = L"add";
    static constexpr const wchar_t* kCheckIn = L"checkin";
    static constexpr const wchar_t* kRename = L"rename";
    static constexpr const wchar_t* kDelete = L"delete";

    // Work on document `docId` of the repository `files` reaches; failures are
    // recorded on `owner`. `mine`: the staging folder the calling operation
    // holds itself, or null.
    PendingWork(BO& owner, RepoFiles& files, int docId, StageFolder* mine = nullptr);
    ~PendingWork();
    PendingWork(const PendingWork&) = delete;
    PendingWork& operator=(const PendingWork&) = delete;

    // Completes what the row's mark says is left to do, then clears the
    // mark. 0 when nothing was pending. Waits while another process that is
    // alive still holds the work's folder (49630 when it takes too long).
    int Finish();
    // Finish for the operation that has just committed `mark` on the row whose
    // current file belongs at `currentRel`: the row is not read again first.
    int FinishFrom(const std::wstring& mark, const std::wstring& currentRel);
    // Deletes the current file, then the marked row. On its first run a
    // delete that removed nothing clears its mark and keeps the document.
    int FinishDelete(const std::wstring& current, const std::wstring& mark, bool firstRun);

private:
    enum class Hold { Held, Busy, TakenNow };
    struct Pending {
        std::wstring text;     // the mark; empty when nothing is pending
        std::wstring current;  // where the current file belongs
    };

    int ReadPending(Pending& pending);
    int Finish(const Pending* known);
    // Who finishes the work in `folder`: the caller (Held, `held` set, null
    // for work without a folder), another live process (Busy), or this one
    // from now on (TakenNow: read the mark again under the hold).
    int TakeHold(const std::wstring& folder, StageFolder*& held, Hold& hold);
    int WaitForHolder(std::chrono::steady_clock::time_point deadline);
    int Publish(const std::wstring& text, const std::wstring& current);
    int PublishAdd(const Mark& mark, const std::wstring& text, const std::wstring& current);
    int PublishCheckIn(const Mark& mark, const std::wstring& current);
    int PublishRename(const Mark& mark, const std::wstring& current);
    int ClearMark(const std::wstring& mark);

    // synced: durable on return; else made durable by a later synced move.
    long Move(const std::wstring& from, const std::wstring& to, bool synced = true);
    // Whether a move that answered `rc` has its file at `target` (moved
    // already by the interrupted run or by another finisher). When not,
    // `status` is the recorded failure.
    bool Settled(long rc, const std::wstring& target, int& status);
    // A rename needs the target's folder; an upload would have made it.
    void MakeFolderOf(const std::wstring& file);

    BO& owner_;
    RepoFiles& files_;
    int docId_;
    StageFolder* mine_;
    std::unique_ptr<StageFolder> taken_;
};

}  // namespace DRM
