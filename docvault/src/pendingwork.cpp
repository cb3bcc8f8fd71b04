#include "internal/pendingwork.h"

#include <exception>
#include <thread>

#include "dbcore/cdbaccessor.h"
#include "docvault/errors.h"
#include "internal/auditrow.h"
#include "internal/boaccess.h"
#include "internal/doctable.h"
#include "internal/faultpoints.h"
#include "internal/plainname.h"
#include "internal/repofiles.h"
#include "internal/rowvalues.h"
#include "internal/stagefolder.h"
#include "vaultfs/cnfs_cmd.h"
#include "zub/text.h"

namespace DRM {

namespace {

// How long an operation waits for another process to publish what it
// committed before giving up.
constexpr auto kPublishWait = std::chrono::seconds(30);

}  // namespace

PendingWork::Mark PendingWork::Mark::Parse(const std::wstring& text) {
    Mark m;
    const std::size_t one = text.find(L'|');
    m.kind = text.substr(0, one);
    if (one == std::wstring::npos) return m;
    const std::size_t two = text.find(L'|', one + 1);
    m.a = text.substr(one + 1, two == std::wstring::npos ? std::wstring::npos : two - one - 1);
    if (two != std::wstring::npos) m.b = text.substr(two + 1);
    return m;
}

std::wstring PendingWork::Mark::Text() const { return kind + L"|" + a + L"|" + b; }

PendingWork::PendingWork(BO& owner, RepoFiles& files, int docId, StageFolder* mine)
    : owner_(owner), files_(files), docId_(docId), mine_(mine) {}

PendingWork::~PendingWork() = default;

int PendingWork::Finish() { return Finish(nullptr); }

int PendingWork::FinishFrom(const std::wstring& mark, const std::wstring& currentRel) {
    const Pending known{mark, files_.Path(currentRel)};
    return Finish(&known);
}

int PendingWork::Finish(const Pending* known) {
    // Whoever holds the operation's staging folder is the one finisher: its
    // owner while it lives, else the first process to take the hold. The
    // mark is read again under the hold, so work finished meanwhile is seen.
    const auto deadline = std::chrono::steady_clock::now() + kPublishWait;
    for (;;) {
        Pending pending;
        if (known != nullptr) {
            pending = *known;
            known = nullptr;
        } else if (int rc = ReadPending(pending)) {
            return rc;
        }
        if (pending.text.empty()) return 0;
        const Mark mark = Mark::Parse(pending.text);
        StageFolder* held = nullptr;
        Hold hold = Hold::Held;
        if (int rc = TakeHold(StageFolder::FolderOf(mark.a), held, hold)) return rc;
        if (hold == Hold::Busy) {
            if (int rc = WaitForHolder(deadline)) return rc;
            continue;
        }
        if (hold == Hold::TakenNow) continue;
        const int rc = Publish(pending.text, pending.current);
        if (rc == 0 && mark.kind == kCheckIn) FaultPoint::Hit(FaultPoint::kCheckInCleared);
        if (rc == 0 && held != nullptr) {
            // Published adds and check-ins moved their file out of the folder.
            if (mark.kind == kAdd || mark.kind == kCheckIn)
                held->Recycle(files_);
            else
                held->Remove(files_);
        }
        return rc;
    }
}

int PendingWork::ReadPending(Pending& pending) {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (DocTable(owner_).Read(rs, docId_, L"PendingFile,Name,Ext,phyUrl") != 0)
        return BOAccess::RecordDbError(owner_);
    if (!HasRow(rs)) return 0;
    pending.text = rs->GetStringAt(0);
    if (pending.text.empty()) return 0;
    pending.current = files_.Path(L"\\trunk" + rs->GetStringAt(3) + L"\\" + rs->GetStringAt(1) +
                                  L"." + rs->GetStringAt(2));
    return 0;
}

int PendingWork::TakeHold(const std::wstring& folder, StageFolder*& held, Hold& hold) {
    hold = Hold::Held;
    held = nullptr;
    if (folder.empty()) return 0;
    if (mine_ != nullptr && mine_->rel() == folder) {
        held = mine_;
        return 0;
    }
    if (taken_ && taken_->rel() == folder) {
        held = taken_.get();
        return 0;
    }
    auto next = std::make_unique<StageFolder>();
    StageFolder::Taken state = StageFolder::Taken::Gone;
    if (int rc = next->Take(files_, folder, state)) return rc;
    if (state == StageFolder::Taken::Busy) {
        hold = Hold::Busy;
        return 0;
    }
    taken_ = std::move(next);
    hold = Hold::TakenNow;
    return 0;
}

int PendingWork::WaitForHolder(std::chrono::steady_clock::time_point deadline) {
    if (std::chrono::steady_clock::now() >= deadline) {
        BOAccess::RaiseUnknownError(owner_, Err::kBusy, Err::kBusyText);
        return Err::kBusy;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return 0;
}

int PendingWork::Publish(const std::wstring& text, const std::wstring& current) {
    const Mark mark = Mark::Parse(text);
    int rc = 0;
    if (mark.kind == kAdd) {
        rc = PublishAdd(mark, text, current);
    } else if (mark.kind == kCheckIn) {
        rc = PublishCheckIn(mark, current);
    } else if (mark.kind == kRename) {
        rc = PublishRename(mark, current);
    } else if (mark.kind == kDelete) {
        return FinishDelete(current, text, false);
    } else {
        BOAccess::RaiseUnknownError(owner_, Err::kInvalidName, InvalidNameText(text));
        return Err::kInvalidName;
    }
    if (rc != 0) return rc;
    return ClearMark(text);
}

int PendingWork::PublishAdd(const Mark& mark, const std::wstring& text,
                            const std::wstring& current) {
    MakeFolderOf(current);
    const long rc = Move(files_.Path(mark.a), current);
    if (rc == NFS::NFS_E_EXISTS) return files_.Record();
    int status = 0;
    if (!Settled(rc, current, status)) {
        if (status != Err::kFileMissing) return status;
        // The upload is lost: the add is undone, as if it never ran.
        const DocTable table(owner_);
        if (table.Delete(RowValues().Int(L"DocId", docId_).Text(L"PendingFile", text)) != 0)
            return BOAccess::RollBackAndRecord(owner_);
        if (table.Commit() != 0) return BOAccess::RollBackAndRecord(owner_);
        return status;
    }
    FaultPoint::Hit(FaultPoint::kAddPublished);
    return 0;
}

int PendingWork::PublishCheckIn(const Mark& mark, const std::wstring& current) {
    const std::wstring staged = files_.Path(mark.a);
    bool stagedThere = false;
    if (int rc = files_.FileExists(staged, stagedThere)) return rc;
    if (!stagedThere) {
        bool there = false;
        if (int rc = files_.FileExists(current, there)) return rc;
        if (there) return 0;
        BOAccess::RaiseUnknownError(
            owner_, Err::kFileMissing,
            zub::FormatBounded(1024, Err::kFileMissingText, staged.c_str()));
        return Err::kFileMissing;
    }
    // The replaced file becomes the saved version by a rename: its data is
    // not copied again. The synced move of the staged file below makes this
    // one durable with it, and the mark is cleared only after both.
    const std::wstring saved = files_.Path(mark.b);
    long rc = Move(current, saved, false);
    if (rc == NFS::NFS_E_EXISTS) {
        // An older run left a file under that history name; both stay.
        rc = Move(current, saved + L"." + StagingNonce() + L".replaced", false);
    }
    if (rc != 0 && rc != NFS::NFS_E_NOT_FOUND) return files_.Record();
    FaultPoint::Hit(FaultPoint::kCheckInOldMoved);
    int status = 0;
    if (!Settled(Move(staged, current), current, status)) return status;
    FaultPoint::Hit(FaultPoint::kCheckInPublished);
    return 0;
}

int PendingWork::PublishRename(const Mark& mark, const std::wstring& current) {
    MakeFolderOf(current);
    const long rc = Move(files_.Path(mark.a), current);
    if (rc == NFS::NFS_E_EXISTS) return files_.Record();
    int status = 0;
    if (!Settled(rc, current, status)) return status;
    FaultPoint::Hit(FaultPoint::kRenamePublished);
    return 0;
}

int PendingWork::FinishDelete(const std::wstring& current, const std::wstring& mark,
                              bool firstRun) {
    const long rc =
        files_.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            return cmd.delFile(server, port, current);
        });
    if (rc == 0) {
        FaultPoint::Hit(FaultPoint::kDeleteFileGone);
    } else {
        const int status = files_.Record();
        if (firstRun || rc != NFS::NFS_E_NOT_FOUND) {
            // Nothing was deleted: the document stays as it was.
            if (firstRun) ClearMark(mark);
            return status;
        }
        // Finishing an earlier run: the file is gone already, unless the
        // server's whole root is missing (which answers "not found" too).
        const std::size_t cut = current.rfind(L'\\');
        if (int probe = files_.ProbeRootBy(current.substr(0, cut))) return probe;
    }
    // The entry first: it is copied from the row the delete removes.
    int userId = 0;
    try {
        userId = std::stoi(Mark::Parse(mark).b);
    } catch (const std::exception&) {
        // A mark written before deletes named their user: recorded as nobody.
    }
    const DocTable table(owner_);
    if (AuditRow::InsertDelete(owner_, docId_, mark, userId) != 0 ||
        table.Delete(RowValues().Int(L"DocId", docId_).Text(L"PendingFile", mark)) != 0)
        return BOAccess::RollBackAndRecord(owner_);
    if (table.Commit() != 0) return BOAccess::RollBackAndRecord(owner_);
    return 0;
}

int PendingWork::ClearMark(const std::wstring& mark) {
    const DocTable table(owner_);
    BOAccess::Accessor(owner_)->CommitWithNextWrite();
    if (table.Update(RowValues().Text(L"PendingFile", L""),
                     RowValues().Int(L"DocId", docId_).Text(L"PendingFile", mark)) != 0)
        return BOAccess::RollBackAndRecord(owner_);
    if (table.Commit() != 0) return BOAccess::RollBackAndRecord(owner_);
    return 0;
}

long PendingWork::Move(const std::wstring& from, const std::wstring& to, bool synced) {
    return files_.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
        return synced ? cmd.renameFile(server, port, from, to)
                      : cmd.renameFileUnsynced(server, port, from, to);
    });
}

bool PendingWork::Settled(long rc, const std::wstring& target, int& status) {
    if (rc == 0) return true;
    status = 0;
    if (rc != NFS::NFS_E_NOT_FOUND) {
        status = files_.Record();
        return false;
    }
    bool there = false;
    if ((status = files_.FileExists(target, there)) != 0) return false;
    if (there) return true;
    BOAccess::RaiseUnknownError(owner_, Err::kFileMissing,
                                zub::FormatBounded(1024, Err::kFileMissingText, target.c_str()));
    status = Err::kFileMissing;
    return false;
}

void PendingWork::MakeFolderOf(const std::wstring& file) {
    files_.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
        return cmd.mk(server, port, file.substr(0, file.rfind(L'\\')), false);
    });
}

}  // namespace DRM
