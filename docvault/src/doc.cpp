#include "docvault/doc.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <memory>
#include <random>
#include <thread>

#include "docvault/errors.h"
#include "internal/contentsums.h"
#include "internal/faultpoints.h"
#include "internal/operation.h"
#include "internal/pendingunit.h"
#include "internal/plainname.h"
#include "internal/repofiles.h"
#include "internal/rowparams.h"
#include "internal/stagefolder.h"
#include "vaultfs/cnfs_cmd.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/doc";
constexpr const wchar_t* kDocTable = L"QV_DMDoc";
constexpr const wchar_t* kHistoryTable = L"QV_DMDocVer";

// The leading integer as the C library reads it (white space, sign, digits;
// 0 without digits), held to the range of int.
int LeadingInt(const std::wstring& text) {
    const long long v = std::wcstoll(text.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

std::wstring NextVersionText(const std::wstring& current, int scheme) {
    if (scheme == 1) return std::to_wstring(static_cast<long long>(LeadingInt(current)) + 1);
    if (scheme != 2) return std::wstring();
    const std::size_t dot = current.find(L'.');
    if (dot == std::wstring::npos)
        return std::to_wstring(static_cast<long long>(LeadingInt(current)) + 1);
    return current.substr(0, dot + 1) +
           std::to_wstring(static_cast<long long>(LeadingInt(current.substr(dot + 1))) + 1);
}

// Empty, or "\a\b" of plain segments.
bool IsFolderText(const std::wstring& folder) {
    if (folder.empty()) return true;
    if (folder[0] != L'\\') return false;
    std::size_t start = 1;
    while (true) {
        const std::size_t next = folder.find(L'\\', start);
        const std::wstring part =
            folder.substr(start, next == std::wstring::npos ? std::wstring::npos : next - start);
        if (!IsPlainName(part)) return false;
        if (next == std::wstring::npos) return true;
        start = next + 1;
    }
}

// What an add, check-in, rename or delete still has to do on the file server
// after its rows committed: "<kind>|<a>|<b>", paths relative to the
// repository's root. The row's own path is where the current file belongs.
struct Mark {
    std::wstring kind;
    std::wstring a;  // add, checkin: the staged file; rename: the old path
    std::wstring b;  // checkin: where the replaced file goes

    static Mark Parse(const std::wstring& text) {
        Mark m;
        const std::size_t one = text.find(L'|');
        m.kind = text.substr(0, one);
        if (one == std::wstring::npos) return m;
        const std::size_t two = text.find(L'|', one + 1);
        m.a = text.substr(one + 1, two == std::wstring::npos ? std::wstring::npos : two - one - 1);
        if (two != std::wstring::npos) m.b = text.substr(two + 1);
        return m;
    }
    std::wstring Text() const { return kind + L"|" + a + L"|" + b; }
};

constexpr const wchar_t* kAdd = L"add";
constexpr const wchar_t* kCheckIn = L"checkin";
constexpr const wchar_t* kRename = L"rename";
constexpr const wchar_t* kDelete = L"delete";

// A value no other change of the row draws: every operation that changes the
// row sets a fresh one, on condition that the row still carries the one it read.
long long NewStamp() {
    std::random_device device;
    const unsigned long long value = (std::uint64_t{device()} << 32) ^ device();
    return static_cast<long long>((value >> 2) | 1);
}

// How long an operation waits for another process to publish what it
// committed before giving up.
constexpr auto kPublishWait = std::chrono::seconds(30);

// Which numbers mean "a unique index refused the row" (SQLite's unique and
// primary-key constraint codes).
bool IsUniqueViolation(long number) { return number == 2067 || number == 1555; }

}  // namespace

Doc::Doc(int id, int docRepoId, std::wstring fileName, std::wstring ext,
         std::wstring currentVersion, int state, int checkOutById, std::wstring checkOutByName,
         int creById, std::wstring creByName, double creTime, int lstUptById,
         std::wstring lstUptByName, double lstUptTime, std::wstring phyUrl)
    : docRepoId_(docRepoId),
      id_(id),
      fileName_(std::move(fileName)),
      ext_(std::move(ext)),
      currentVersion_(std::move(currentVersion)),
      state_(state),
      checkOutById_(checkOutById),
      checkOutByName_(std::move(checkOutByName)),
      creById_(creById),
      creByName_(std::move(creByName)),
      creTime_(creTime),
      lstUptById_(lstUptById),
      lstUptByName_(std::move(lstUptByName)),
      lstUptTime_(lstUptTime),
      phyUrl_(std::move(phyUrl)) {
    SetKey(std::to_wstring(id_));
}

int Doc::RejectName(const std::wstring& name) {
    RaiseUnknownError(Err::kInvalidName, InvalidNameText(name));
    return Err::kInvalidName;
}

int Doc::CheckNames() {
    if (fileName_.empty() || !IsPlainName(fileName_ + L"." + ext_))
        return RejectName(fileName_ + L"." + ext_);
    if (!IsFolderText(phyUrl_)) return RejectName(phyUrl_);
    return 0;
}

std::wstring Doc::CurrentRel() const { return CurrentRel(fileName_ + L"." + ext_); }

std::wstring Doc::CurrentRel(const std::wstring& name) const {
    return L"\\trunk" + phyUrl_ + L"\\" + name;
}

std::wstring Doc::HistoryRel(const std::wstring& version) const {
    return L"\\history\\" + std::to_wstring(id_) + L"_" + version + L"." + ext_;
}

int Doc::RefuseTaken() {
    const std::wstring shown = phyUrl_ + L"\\" + fileName_ + L"." + ext_;
    RaiseUnknownError(Err::kDocExists,
                      zub::FormatBounded(1024, Err::kDocExistsText, shown.c_str()));
    return Err::kDocExists;
}

int Doc::RecordWriteError() {
    if (IsUniqueViolation(Accessor()->errNumber())) {
        Accessor()->RollbackTrans();
        return RefuseTaken();
    }
    return RollBackAndRecord();
}

int Doc::Read(int docId) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::Read", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", docId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kDocTable, kNone, cond, kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kDocMissing,
                              zub::FormatBounded(256, Err::kDocMissingText, docId));
            return Err::kDocMissing;
        }
        id_ = static_cast<int>(rs->GetInt(L"DocId"));
        docRepoId_ = static_cast<int>(rs->GetInt(L"DocRepoId"));
        fileName_ = rs->GetString(L"Name");
        ext_ = rs->GetString(L"ext");
        phyUrl_ = rs->GetString(L"PhyUrl");
        currentVersion_ = rs->GetString(L"CurrentVersion");
        state_ = static_cast<int>(rs->GetInt(L"CurrentState"));
        checkOutById_ = static_cast<int>(rs->GetInt(L"CurrentOperatorId"));
        checkOutByName_ = rs->GetString(L"CurrentOperatorName");
        creById_ = static_cast<int>(rs->GetInt(L"CreatorId"));
        creByName_ = rs->GetString(L"creatorName");
        creTime_ = rs->GetDouble(L"DocCreateTime");
        lstUptById_ = static_cast<int>(rs->GetInt(L"LastOperatorId"));
        lstUptByName_ = rs->GetString(L"LastOperatorName");
        lstUptTime_ = rs->GetDouble(L"LastOperateTime");
        caxDocType_ = static_cast<int>(rs->GetInt(L"CaxDocType"));
        SetKey(std::to_wstring(id_));
        return 0;
    });
}

int Doc::Add(std::wstring localFile) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::Add", [&] {
        if (int rc = CheckNames()) return rc;
        if (IsReservedName(fileName_ + L"." + ext_)) return RejectName(fileName_ + L"." + ext_);
        if (HasReservedPart(phyUrl_)) return RejectName(phyUrl_);
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;

        // Numbered before anything is stored: a document must not be kept
        // with a version the strategy did not give it.
        if (int rc = initVersion()) return rc;

        // A file without a row (left by a crash or put there by hand) is not
        // overwritten; a row of the same name is refused by the unique index.
        bool taken = false;
        if (int rc = files.FileExists(files.Path(CurrentRel()), taken)) return rc;
        if (taken) return RefuseTaken();

        // Staged first: until the row commits, no user's file is touched.
        StageFolder stage;
        if (int rc = stage.Create(files)) return rc;
        auto dropStage = [&] { stage.Remove(files); };
        std::wstring sha256;
        if (int rc = files.Upload(localFile, files.Path(stage.File()), sha256)) {
            dropStage();
            return rc;
        }
        FaultPoint::Hit(FaultPoint::kAddStaged);
        const std::wstring mark = Mark{kAdd, stage.File(), L""}.Text();

        ZUBDB::QVParams values(false);
        AddInt(values, L"DocRepoId", docRepoId_);
        AddText(values, L"Name", fileName_);
        AddText(values, L"Ext", ext_);
        AddText(values, L"phyUrl", phyUrl_);
        AddText(values, L"CurrentVersion", currentVersion_);
        AddInt(values, L"CurrentState", 0);
        AddInt(values, L"CreatorId", creById_);
        AddText(values, L"CreatorName", getUserName(creById_));
        AddExpr(values, L"DocCreateTime", L"getdate()");
        AddInt(values, L"LastOperatorId", creById_);
        AddText(values, L"LastOperatorName", getUserName(creById_));
        AddExpr(values, L"LastOperateTime", L"getdate()");
        AddInt(values, L"CurrentOperatorId", 0);
        AddInt(values, L"CaxDocType", caxDocType_);
        AddText(values, L"PendingFile", mark);
        AddText(values, L"ContentSha256", sha256);
        if (Accessor()->InsertRow(kDocTable, values, kNone, kNone) != 0 ||
            Accessor()->CommitTrans() != 0) {
            const int rc = RecordWriteError();
            dropStage();
            return rc;
        }
        const long long inserted = Accessor()->LastInsertId();
        FaultPoint::Hit(FaultPoint::kAddCommitted);

        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kDocTable, L"Max(DocId)", none, kNone, kNone, kNone, 0, 0) !=
            0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kUserOrDocTable, Err::kDocTableEmptyText);
            return Err::kUserOrDocTable;
        }
        id_ = static_cast<int>(inserted > 0 ? inserted : rs->GetIntAt(0));
        rs.reset();
        const int rc = FinishPending(files, &stage);
        if (rc == NFS::NFS_E_EXISTS) {
            // A file appeared at the path since the check: this add gives way.
            ZUBDB::QVParams cond(false);
            AddInt(cond, L"DocId", id_);
            AddText(cond, L"PendingFile", mark);
            if (Accessor()->DeleteRows(kDocTable, cond, kNone, kNone) == 0 &&
                Accessor()->CommitTrans() == 0)
                dropStage();
            else
                Accessor()->RollbackTrans();
            return RefuseTaken();
        }
        // The upload is lost: the add undid itself.
        if (rc == Err::kFileMissing) return rc;
        return rc == 0 ? 0 : PublishLater();
    });
}

int Doc::PublishLater() {
    const std::wstring why = ErrDesc();
    RaiseUnknownError(Err::kPublishPending,
                      zub::FormatBounded(2048, Err::kPublishPendingText, why.c_str()));
    return 0;
}

int Doc::FinishPending(RepoFiles& files, StageFolder* mine) {
    // Whoever holds the operation's staging folder is the one finisher: its
    // owner while it lives, else the first process to take the hold. The
    // mark is read again under the hold, so work finished meanwhile is seen.
    std::unique_ptr<StageFolder> taken;
    const auto deadline = std::chrono::steady_clock::now() + kPublishWait;
    for (;;) {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kDocTable, L"PendingFile,Name,Ext,phyUrl", cond, kNone,
                                   kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) return 0;
        const std::wstring text = rs->GetStringAt(0);
        if (text.empty()) return 0;
        const std::wstring current = files.Path(L"\\trunk" + rs->GetStringAt(3) + L"\\" +
                                                rs->GetStringAt(1) + L"." + rs->GetStringAt(2));
        rs.reset();
        const Mark mark = Mark::Parse(text);
        const std::wstring folder = StageFolder::FolderOf(mark.a);
        StageFolder* held = nullptr;
        if (!folder.empty()) {
            if (mine != nullptr && mine->rel() == folder) {
                held = mine;
            } else if (taken && taken->rel() == folder) {
                held = taken.get();
            } else {
                auto next = std::make_unique<StageFolder>();
                StageFolder::Taken state = StageFolder::Taken::Gone;
                if (int rc = next->Take(files, folder, state)) return rc;
                if (state == StageFolder::Taken::Busy) {
                    if (std::chrono::steady_clock::now() >= deadline) {
                        RaiseUnknownError(Err::kBusy, Err::kBusyText);
                        return Err::kBusy;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    continue;
                }
                taken = std::move(next);
                continue;
            }
        }
        const int rc = Publish(files, text, current);
        if (rc == 0 && mark.kind == kCheckIn) FaultPoint::Hit(FaultPoint::kCheckInCleared);
        if (rc == 0 && held != nullptr) held->Remove(files);
        return rc;
    }
}

int Doc::Publish(RepoFiles& files, const std::wstring& text, const std::wstring& current) {
    const Mark mark = Mark::Parse(text);
    auto move = [&](const std::wstring& from, const std::wstring& to) {
        return files.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            return cmd.renameFile(server, port, from, to);
        });
    };
    // Moved already (by the interrupted run, or by another finisher) when
    // the source is gone and the target is there.
    auto settled = [&](long rc, const std::wstring& target, int& status) {
        if (rc == 0) return true;
        status = 0;
        if (rc != NFS::NFS_E_NOT_FOUND) {
            status = files.Record();
            return false;
        }
        bool there = false;
        if ((status = files.FileExists(target, there)) != 0) return false;
        if (there) return true;
        RaiseUnknownError(Err::kFileMissing,
                          zub::FormatBounded(1024, Err::kFileMissingText, target.c_str()));
        status = Err::kFileMissing;
        return false;
    };

    // A rename needs the target's folder; an upload would have made it.
    auto makeFolder = [&] {
        files.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            return cmd.mk(server, port, current.substr(0, current.rfind(L'\\')), false);
        });
    };
    int status = 0;
    if (mark.kind == kAdd) {
        makeFolder();
        const long rc = move(files.Path(mark.a), current);
        if (rc == NFS::NFS_E_EXISTS) return files.Record();
        if (!settled(rc, current, status)) {
            if (status != Err::kFileMissing) return status;
            // The upload is lost: the add is undone, as if it never ran.
            ZUBDB::QVParams gone(false);
            AddInt(gone, L"DocId", id_);
            AddText(gone, L"PendingFile", text);
            if (Accessor()->DeleteRows(kDocTable, gone, kNone, kNone) != 0)
                return RollBackAndRecord();
            if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
            return status;
        }
        FaultPoint::Hit(FaultPoint::kAddPublished);
    } else if (mark.kind == kCheckIn) {
        const std::wstring staged = files.Path(mark.a);
        bool stagedThere = false;
        if (int rc = files.FileExists(staged, stagedThere)) return rc;
        if (stagedThere) {
            // The replaced file becomes the saved version by a rename: its
            // data is not copied again.
            const std::wstring saved = files.Path(mark.b);
            long rc = move(current, saved);
            if (rc == NFS::NFS_E_EXISTS) {
                // An older run left a file under that history name; both stay.
                rc = move(current, saved + L"." + StagingNonce() + L".replaced");
            }
            if (rc != 0 && rc != NFS::NFS_E_NOT_FOUND) return files.Record();
            FaultPoint::Hit(FaultPoint::kCheckInOldMoved);
            if (!settled(move(staged, current), current, status)) return status;
            FaultPoint::Hit(FaultPoint::kCheckInPublished);
        } else {
            bool there = false;
            if (int rc = files.FileExists(current, there)) return rc;
            if (!there) {
                RaiseUnknownError(Err::kFileMissing,
                                  zub::FormatBounded(1024, Err::kFileMissingText, staged.c_str()));
                return Err::kFileMissing;
            }
        }
    } else if (mark.kind == kRename) {
        makeFolder();
        const long rc = move(files.Path(mark.a), current);
        if (rc == NFS::NFS_E_EXISTS) return files.Record();
        if (!settled(rc, current, status)) return status;
        FaultPoint::Hit(FaultPoint::kRenamePublished);
    } else if (mark.kind == kDelete) {
        return FinishDelete(files, current, text, false);
    } else {
        RaiseUnknownError(Err::kInvalidName, InvalidNameText(text));
        return Err::kInvalidName;
    }
    return ClearMark(text);
}

int Doc::FinishDelete(RepoFiles& files, const std::wstring& current, const std::wstring& mark,
                      bool firstRun) {
    const long rc =
        files.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            return cmd.delFile(server, port, current);
        });
    if (rc == 0) {
        FaultPoint::Hit(FaultPoint::kDeleteFileGone);
    } else {
        const int status = files.Record();
        if (firstRun || rc != NFS::NFS_E_NOT_FOUND) {
            // Nothing was deleted: the document stays as it was.
            if (firstRun) ClearMark(mark);
            return status;
        }
        // Finishing an earlier run: the file is gone already, unless the
        // server's whole root is missing (which answers "not found" too).
        const std::size_t cut = current.rfind(L'\\');
        if (int probe = files.ProbeRootBy(current.substr(0, cut))) return probe;
    }
    ZUBDB::QVParams cond(false);
    AddInt(cond, L"DocId", id_);
    AddText(cond, L"PendingFile", mark);
    if (Accessor()->DeleteRows(kDocTable, cond, kNone, kNone) != 0) return RollBackAndRecord();
    if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
    return 0;
}

int Doc::ClearMark(const std::wstring& mark) {
    ZUBDB::QVParams values(false);
    AddText(values, L"PendingFile", L"");
    ZUBDB::QVParams cond(false);
    AddInt(cond, L"DocId", id_);
    AddText(cond, L"PendingFile", mark);
    if (Accessor()->UpdateRows(kDocTable, values, cond, kNone, kNone) != 0)
        return RollBackAndRecord();
    if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
    return 0;
}

int Doc::CheckOut(std::wstring localDir) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::CheckOut", [&] {
        if (int rc = CheckNames()) return rc;
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        if (int rc = FinishPending(files)) return rc;

        bool heldBefore = false;
        {
            ZUBDB::QVParams cond(false);
            AddInt(cond, L"DocId", id_);
            std::unique_ptr<ZUBDB::CDBRecordset> rs;
            if (Accessor()->SelectRows(rs, kDocTable, L"CurrentState,CurrentOperatorId", cond,
                                       kNone, kNone, kNone, 0, 0) != 0)
                return RecordDbError();
            heldBefore = HasRow(rs) && rs->GetIntAt(0) == 1 && rs->GetIntAt(1) == checkOutById_;
        }
        ZUBDB::QVParams values(false);
        AddInt(values, L"CurrentState", 1);
        AddInt(values, L"CurrentOperatorId", checkOutById_);
        AddText(values, L"CurrentOperatorName", checkOutByName_);
        AddInt(values, L"ChangeStamp", NewStamp());
        ZUBDB::QVParams only(false);
        AddInt(only, L"DocId", id_);
        AddInt(only, L"CurrentOperatorId", 0);
        AddText(only, L"PendingFile", L"");
        int rc = ConditionalUpdate(values, only, [&](ZUBDB::CDBRecordset& row) {
            if (row.GetInt(L"CurrentState") == 1 &&
                row.GetInt(L"CurrentOperatorId") == checkOutById_)
                return 0;
            const std::wstring holder = row.GetString(L"CurrentOperatorName");
            RaiseUnknownError(Err::kHeldByOther,
                              zub::FormatBounded(1024, Err::kHeldByOtherText, holder.c_str()));
            return Err::kHeldByOther;
        });
        if (rc != 0) return rc;

        if ((rc = Download(files, CurrentRel(), localDir, CurrentSum())) != 0 && !heldBefore) {
            // The caller has no copy to work on: the check-out is given back.
            ZUBDB::QVParams back(false);
            AddInt(back, L"CurrentState", 0);
            AddInt(back, L"CurrentOperatorId", 0);
            AddText(back, L"CurrentOperatorName", L"");
            AddInt(back, L"ChangeStamp", NewStamp());
            ZUBDB::QVParams mine(false);
            AddInt(mine, L"DocId", id_);
            AddInt(mine, L"CurrentOperatorId", checkOutById_);
            AddText(mine, L"PendingFile", L"");
            if (Accessor()->UpdateRows(kDocTable, back, mine, kNone, kNone) != 0 ||
                Accessor()->CommitTrans() != 0)
                Accessor()->RollbackTrans();
        }
        return rc;
    });
}

int Doc::Download(RepoFiles& files, const std::wstring& rel, const std::wstring& localDir,
                  const ContentSums::Lookup& recorded) {
    return ContentSums::Download(files, files.Path(rel), localDir, fileName_ + L"." + ext_,
                                 recorded);
}

ContentSums::Lookup Doc::CurrentSum() {
    return [this](std::wstring& sum) { return ContentSums::Current(*this, id_, sum); };
}

int Doc::CheckIn(std::wstring localFile) { return CheckIn(std::move(localFile), std::wstring()); }

int Doc::CheckIn(std::wstring localFile, std::wstring rcId) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::CheckIn", [&] {
        if (int rc = CheckNames()) return rc;
        if (!IsPlainName(std::to_wstring(id_) + L"_" + currentVersion_ + L"." + ext_))
            return RejectName(currentVersion_);
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        if (int rc = FinishPending(files)) return rc;
        std::wstring next;
        if (int rc = NextVersionForWrite(next)) return rc;

        // Refused before the upload, so a check-in that cannot win moves no data.
        long long stamp = 0;
        // The replaced file's sum goes with it into history; the commit below
        // holds only while the row keeps this version.
        std::wstring replacedSum;
        {
            ZUBDB::QVParams cond(false);
            AddInt(cond, L"DocId", id_);
            std::unique_ptr<ZUBDB::CDBRecordset> rs;
            if (Accessor()->SelectRows(rs, kDocTable,
                                       L"CurrentState,CurrentOperatorId,CurrentVersion,Name,Ext,"
                                       L"phyUrl,ChangeStamp,ContentSha256",
                                       cond, kNone, kNone, kNone, 0, 0) != 0)
                return RecordDbError();
            if (!HasRow(rs) || rs->GetIntAt(0) != 1 || rs->GetIntAt(1) != checkOutById_ ||
                rs->GetStringAt(2) != currentVersion_)
                return RefuseNotHolder();
            // Renamed or moved since it was read: the replaced file is no
            // longer where this object would look for it.
            if (rs->GetStringAt(3) != fileName_ || rs->GetStringAt(4) != ext_ ||
                rs->GetStringAt(5) != phyUrl_)
                return RefuseChanged();
            stamp = rs->GetInt64At(6);
            replacedSum = rs->GetStringAt(7);
        }

        StageFolder stage;
        if (int rc = stage.Create(files)) return rc;
        std::wstring sha256;
        if (int rc = files.Upload(localFile, files.Path(stage.File()), sha256)) {
            stage.Remove(files);
            return rc;
        }
        FaultPoint::Hit(FaultPoint::kCheckInStaged);
        const std::wstring mark = Mark{kCheckIn, stage.File(), HistoryRel(currentVersion_)}.Text();
        if (int rc = CommitCheckIn(next, mark, rcId, stamp, {sha256, replacedSum})) {
            stage.Remove(files);
            return rc;
        }
        FaultPoint::Hit(FaultPoint::kCheckInCommitted);
        currentVersion_ = next;
        // Committed: the version is saved whatever the publish meets.
        return FinishPending(files, &stage) == 0 ? 0 : PublishLater();
    });
}

int Doc::RefuseChanged() {
    RaiseUnknownError(Err::kChanged, zub::FormatBounded(256, Err::kChangedText, id_));
    return Err::kChanged;
}

int Doc::ReadStamp(long long& stamp) {
    ZUBDB::QVParams cond(false);
    AddInt(cond, L"DocId", id_);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->SelectRows(rs, kDocTable, L"Name,Ext,phyUrl,ChangeStamp", cond, kNone, kNone,
                               kNone, 0, 0) != 0)
        return RecordDbError();
    if (!HasRow(rs)) {
        RaiseUnknownError(Err::kDocMissing, zub::FormatBounded(256, Err::kDocMissingText, id_));
        return Err::kDocMissing;
    }
    if (rs->GetStringAt(0) != fileName_ || rs->GetStringAt(1) != ext_ ||
        rs->GetStringAt(2) != phyUrl_)
        return RefuseChanged();
    stamp = rs->GetInt64At(3);
    return 0;
}

int Doc::CommitCheckIn(const std::wstring& next, const std::wstring& mark, const std::wstring& rcId,
                       long long stamp, const CheckInSums& sums) {
    if (Accessor()->BeginTrans() != 0) return RecordDbError();
    PendingUnit unit(Accessor());
    auto fail = [&](int rc) {
        Accessor()->RollbackTrans();
        return rc;
    };

    // The row first: its update decides which of two check-ins wins.
    ZUBDB::QVParams doc(false);
    AddText(doc, L"Name", fileName_);
    AddText(doc, L"Ext", ext_);
    AddText(doc, L"CurrentVersion", next);
    AddInt(doc, L"CurrentState", 0);
    AddInt(doc, L"LastOperatorId", checkOutById_);
    AddText(doc, L"LastOperatorName", checkOutByName_);
    AddExpr(doc, L"LastOperateTime", L"getdate()");
    AddExpr(doc, L"LastOperatorTime", L"getdate()");
    AddText(doc, L"phyUrl", phyUrl_);
    AddInt(doc, L"CurrentOperatorId", 0);
    AddText(doc, L"CurrentOperatorName", L"");
    AddText(doc, L"PendingFile", mark);
    AddInt(doc, L"ChangeStamp", NewStamp());
    AddText(doc, L"ContentSha256", sums.staged);
    ZUBDB::QVParams only(false);
    AddInt(only, L"DocId", id_);
    AddInt(only, L"CurrentState", 1);
    AddInt(only, L"CurrentOperatorId", checkOutById_);
    AddText(only, L"CurrentVersion", currentVersion_);
    AddText(only, L"PendingFile", L"");
    AddInt(only, L"ChangeStamp", stamp);
    if (int rc = UpdateIfStill(doc, only, [&](ZUBDB::CDBRecordset& row) {
            if (row.GetString(L"PendingFile") == mark) return 0;
            // Still held at this version: another change of the row won.
            if (row.GetInt(L"CurrentState") == 1 &&
                row.GetInt(L"CurrentOperatorId") == checkOutById_ &&
                row.GetString(L"CurrentVersion") == currentVersion_)
                return RefuseChanged();
            return RefuseNotHolder();
        }))
        return fail(rc);

    if (int rc = InsertHistoryRows(rcId, sums.replaced)) return fail(rc);
    if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
    return 0;
}

int Doc::InsertHistoryRows(const std::wstring& rcId, const std::wstring& sha256) {
    int revision = 1;
    {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kHistoryTable, L"count(*)", cond, kNone, kNone, kNone, 0,
                                   0) != 0)
            return RecordDbError();
        revision = static_cast<int>((HasRow(rs) ? rs->GetIntAt(0, 0) : 0) + 1);
    }
    const int main = getVersionMain();
    const int sub = getVersionSub();
    ZUBDB::QVParams values(false);
    AddInt(values, L"DocId", id_);
    AddText(values, L"DocName",
            std::to_wstring(id_) + L"_" + std::to_wstring(main) + L"." + std::to_wstring(sub) +
                L"." + ext_);
    AddInt(values, L"OperatorId", checkOutById_);
    AddText(values, L"OperatorName", getUserName(checkOutById_));
    AddExpr(values, L"OperatorTime", L"getdate()");
    AddInt(values, L"action", 1);
    AddText(values, L"OperateInfo", modifyInfo_);
    AddText(values, L"phyUrl", L"\\history\\");
    AddInt(values, L"version_main", main);
    AddInt(values, L"version_sub", sub);
    AddInt(values, L"Revision", revision);
    AddText(values, L"ContentSha256", sha256);
    if (Accessor()->InsertRow(kHistoryTable, values, kNone, kNone) != 0) return RecordDbError();

    if (!rcId.empty()) {
        ZUBDB::QVParams form(false);
        AddText(form, L"rcId", rcId);
        AddInt(form, L"revision", revision);
        AddInt(form, L"DocId", id_);
        AddInt(form, L"CaxDocType", 1);
        if (Accessor()->InsertRow(L"QV_CaxForm", form, kNone, kNone) != 0) return RecordDbError();
    }
    return 0;
}

int Doc::UpLoadDoc(std::wstring localFile) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::UpLoadDoc", [&] {
        if (int rc = CheckNames()) return rc;
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        std::wstring sha256;
        if (int rc = files.Upload(localFile, files.Path(CurrentRel()), sha256)) return rc;
        // The file is replaced in place: its recorded sum follows.
        ZUBDB::QVParams values(false);
        AddText(values, L"ContentSha256", sha256);
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        if (Accessor()->UpdateRows(kDocTable, values, cond, kNone, kNone) != 0)
            return RollBackAndRecord();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int Doc::View(std::wstring localDir) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::View", [&] {
        if (int rc = CheckNames()) return rc;
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        if (int rc = FinishPending(files)) return rc;
        return Download(files, CurrentRel(), localDir, CurrentSum());
    });
}

int Doc::GetHistory(std::wstring versionStr, std::wstring localDir) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::GetHistory", [&] {
        if (int rc = CheckNames()) return rc;
        const std::wstring saved = std::to_wstring(id_) + L"_" + versionStr + L"." + ext_;
        if (!IsPlainName(saved)) return RejectName(versionStr);
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        if (int rc = FinishPending(files)) return rc;
        const int main = LeadingInt(versionStr);
        const std::size_t dot = versionStr.find(L'.');
        const int sub =
            LeadingInt(dot == std::wstring::npos ? versionStr : versionStr.substr(dot + 1));
        return Download(files, HistoryRel(versionStr), localDir, [&](std::wstring& sum) {
            return ContentSums::Saved(*this, id_, main, sub, sum);
        });
    });
}

int Doc::ReName(std::wstring newName) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::ReName", [&] {
        if (int rc = CheckNames()) return rc;
        // A name without a '.' keeps the document's extension, so the row and
        // the server file keep naming the same file.
        const std::size_t dot = newName.rfind(L'.');
        const std::wstring name = dot == std::wstring::npos ? newName : newName.substr(0, dot);
        const std::wstring ext = dot == std::wstring::npos ? ext_ : newName.substr(dot + 1);
        if (name.empty() || !IsPlainName(name + L"." + ext) || IsReservedName(name + L"." + ext))
            return RejectName(newName);

        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        if (int rc = FinishPending(files)) return rc;
        long long stamp = 0;
        if (int rc = ReadStamp(stamp)) return rc;
        bool taken = false;
        if (int rc = files.FileExists(files.Path(CurrentRel(name + L"." + ext)), taken)) return rc;
        if (taken) {
            const std::wstring shown = phyUrl_ + L"\\" + name + L"." + ext;
            RaiseUnknownError(Err::kDocExists,
                              zub::FormatBounded(1024, Err::kDocExistsText, shown.c_str()));
            return Err::kDocExists;
        }

        // The row takes the new name first, marked until the file follows.
        // The nonce tells this rename's mark from any other's.
        const std::wstring mark =
            Mark{kRename, CurrentRel(), std::wstring(kStagingPrefix) + StagingNonce()}.Text();
        ZUBDB::QVParams values(false);
        AddText(values, L"Name", name);
        AddText(values, L"Ext", ext);
        AddText(values, L"PendingFile", mark);
        AddInt(values, L"ChangeStamp", NewStamp());
        ZUBDB::QVParams only(false);
        AddInt(only, L"DocId", id_);
        AddText(only, L"PendingFile", L"");
        AddInt(only, L"ChangeStamp", stamp);
        if (Accessor()->BeginTrans() != 0) return RecordDbError();
        {
            PendingUnit unit(Accessor());
            if (Accessor()->UpdateRows(kDocTable, values, only, kNone, kNone) != 0) {
                if (!IsUniqueViolation(Accessor()->errNumber())) return RollBackAndRecord();
                Accessor()->RollbackTrans();
                const std::wstring shown = phyUrl_ + L"\\" + name + L"." + ext;
                RaiseUnknownError(Err::kDocExists,
                                  zub::FormatBounded(1024, Err::kDocExistsText, shown.c_str()));
                return Err::kDocExists;
            }
            std::wstring now;
            {
                ZUBDB::QVParams cond(false);
                AddInt(cond, L"DocId", id_);
                std::unique_ptr<ZUBDB::CDBRecordset> rs;
                if (Accessor()->SelectRows(rs, kDocTable, L"PendingFile", cond, kNone, kNone, kNone,
                                           0, 0) != 0)
                    return RollBackAndRecord();
                if (HasRow(rs)) now = rs->GetStringAt(0);
            }
            if (now != mark) {
                Accessor()->RollbackTrans();
                return RefuseChanged();
            }
            if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        }
        FaultPoint::Hit(FaultPoint::kRenameCommitted);
        return FinishPending(files) == 0 ? 0 : PublishLater();
    });
}

int Doc::Delete() {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::Delete", [&] {
        if (int rc = CheckNames()) return rc;
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        if (int rc = FinishPending(files)) return rc;

        long long stamp = 0;
        if (int rc = ReadStamp(stamp)) return rc;

        // Marked first: a crash between the file and the row is finished by
        // the next operation instead of leaving a row without its file. The
        // held folder keeps others from finishing it while this runs.
        StageFolder stage;
        if (int rc = stage.Create(files)) return rc;
        const std::wstring mark = Mark{kDelete, stage.File(), L""}.Text();
        ZUBDB::QVParams values(false);
        AddText(values, L"PendingFile", mark);
        AddInt(values, L"ChangeStamp", NewStamp());
        ZUBDB::QVParams only(false);
        AddInt(only, L"DocId", id_);
        AddText(only, L"PendingFile", L"");
        AddInt(only, L"ChangeStamp", stamp);
        if (int rc = ConditionalUpdate(values, only, [&](ZUBDB::CDBRecordset& row) {
                return row.GetString(L"PendingFile") == mark ? 0 : RefuseChanged();
            })) {
            stage.Remove(files);
            return rc;
        }
        FaultPoint::Hit(FaultPoint::kDeleteMarked);
        const int rc = FinishDelete(files, files.Path(CurrentRel()), mark, true);
        stage.Remove(files);
        return rc;
    });
}

int Doc::NextVersionForWrite(std::wstring& next) {
    const std::size_t before = ErrorLog().size();
    next = GetNextVersion();
    if (!next.empty()) return 0;
    if (ErrorLog().size() != before) return static_cast<int>(ErrNumber());
    // A scheme without a next version would store an empty version.
    RaiseUnknownError(Err::kNextVersionStrategy, Err::kUnknownSchemeText);
    return Err::kNextVersionStrategy;
}

int Doc::getState(int docId) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::getState", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", docId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kDocTable, L"CurrentState", cond, kNone, kNone, kNone, 0,
                                   0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kDocIdMissing, Err::kDocIdMissingText);
            return Err::kDocIdMissing;
        }
        return static_cast<int>(rs->GetIntAt(0));
    });
}

long Doc::GetRevision() {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::GetRevision", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kHistoryTable, L"max(Revision)", cond, kNone, kNone, kNone,
                                   0, 0) != 0)
            return RecordDbError();
        // The aggregate answers one NULL row when there is no history.
        constexpr long long kNull = LLONG_MIN;
        const long long revision = HasRow(rs) ? rs->GetInt64At(0, kNull) : kNull;
        if (revision == kNull) {
            RaiseUnknownError(Err::kNoHistory, Err::kNoHistoryText);
            return Err::kNoHistory;
        }
        return static_cast<int>(revision);
    });
}

std::wstring Doc::GetNextVersion() {
    std::wstring result;
    OperationScope::Run(*this, kFile, L"DRM::Doc::GetNextVersion", [&] {
        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(rs, L"select SeriaNumStra,NewDocBeginNum from QV_DMVerStrategy",
                                   none, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kNextVersionStrategy, Err::kStrategyEmptyText);
            return Err::kNextVersionStrategy;
        }
        result = NextVersionText(currentVersion_, static_cast<int>(rs->GetInt(L"SeriaNumStra")));
        return 0;
    });
    return result;
}

int Doc::initVersion() {
    return OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(
                rs,
                L"select SeriaNumStra,NewDocBeginNum,Begin_Main,Begin_Sub from QV_DMVerStrategy",
                none, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kInitVersionStrategy, Err::kStrategyEmptyText);
            return Err::kInitVersionStrategy;
        }
        const long scheme = rs->GetInt(L"SeriaNumStra");
        const long continueFromMax = rs->GetInt(L"NewDocBeginNum");
        std::wstring version;
        if (continueFromMax == 0) {
            version = scheme == 1 ? std::wstring(L"1")
                                  : std::to_wstring(rs->GetInt(L"Begin_Main")) + L"." +
                                        std::to_wstring(rs->GetInt(L"Begin_Sub"));
        } else {
            rs.reset();
            version = getMaxCurrentVersion(scheme == 1 ? 1 : 2);
            // Empty only when the look-up failed; its error is recorded.
            if (version.empty()) return static_cast<int>(ErrNumber());
        }
        currentVersion_ = version;
        return 0;
    });
}

std::wstring Doc::getMaxCurrentVersion(int scheme) {
    std::wstring result;
    OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", docRepoId_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kDocTable,
                                   L"max(cast(CurrentVersion as numeric)) as maxVersion", cond,
                                   kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kIdInvalid, Err::kDocRepoIdInvalidText);
            return Err::kIdInvalid;
        }
        const double v = rs->GetDoubleAt(0, 0.0);
        long long whole = 0;
        if (std::isfinite(v))
            whole = static_cast<long long>(std::fmax(std::fmin(std::trunc(v), INT_MAX), INT_MIN));
        // The cast leaves whole numbers only: under the main-and-sub scheme
        // the new document starts at the highest main number's first sub.
        result = std::to_wstring(whole);
        if (scheme != 1) result += L".0";
        return 0;
    });
    return result;
}

int Doc::getVersionMain() const { return LeadingInt(currentVersion_); }

int Doc::getVersionSub() const {
    const std::size_t dot = currentVersion_.find(L'.');
    return LeadingInt(dot == std::wstring::npos ? currentVersion_
                                                : currentVersion_.substr(dot + 1));
}

std::wstring Doc::getUserName(int userId) {
    std::wstring result;
    OperationScope::Run(*this, kFile, L"DRM::Doc::getUserName", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"UserId", userId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_User", L"UserName", cond, kNone, kNone, kNone, 0, 0) !=
            0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kUserOrDocTable, Err::kUserIdInvalidText);
            return Err::kUserOrDocTable;
        }
        result = rs->GetStringAt(0);
        return 0;
    });
    return result;
}

int Doc::SaveToHistory(std::wstring rcId) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::SaveToHistory", [&] {
        if (int rc = CheckNames()) return rc;
        if (!IsPlainName(std::to_wstring(id_) + L"_" + currentVersion_ + L"." + ext_))
            return RejectName(currentVersion_);
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        // The copy checks the current file against its sum as it reads it.
        NFS::ContentSum sum;
        if (int rc = ContentSums::Current(*this, id_, sum.expect)) return rc;
        if (int rc =
                files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.copy(server, port, files.Path(CurrentRel()),
                                    files.Path(HistoryRel(currentVersion_)), sum);
                }))
            return rc;

        if (Accessor()->BeginTrans() != 0) return RecordDbError();
        PendingUnit unit(Accessor());
        auto fail = [&](int rc) {
            Accessor()->RollbackTrans();
            return rc;
        };
        if (int rc = InsertHistoryRows(rcId, sum.sha256)) return fail(rc);
        std::wstring next;
        if (int rc = NextVersionForWrite(next)) return fail(rc);
        ZUBDB::QVParams doc(false);
        AddText(doc, L"Name", fileName_);
        AddText(doc, L"ext", ext_);
        AddText(doc, L"phyUrl", phyUrl_);
        AddText(doc, L"CurrentVersion", next);
        AddInt(doc, L"CurrentState", 1);
        AddInt(doc, L"CurrentOperatorId", 0);
        AddText(doc, L"CurrentOperatorName", L"");
        AddInt(doc, L"LastOperatorId", checkOutById_);
        AddText(doc, L"LastOperatorName", checkOutByName_);
        AddExpr(doc, L"LastOperatorTime", L"getdate()");
        AddInt(doc, L"ChangeStamp", NewStamp());
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        if (Accessor()->UpdateRows(kDocTable, doc, cond, kNone, kNone) != 0)
            return fail(RecordDbError());
        if (Accessor()->CommitTrans() != 0) return fail(RecordDbError());
        return 0;
    });
}

int Doc::UpdateIfStill(const ZUBDB::QVParams& values, const ZUBDB::QVParams& only,
                       const Judge& judge) {
    if (Accessor()->UpdateRows(kDocTable, values, only, kNone, kNone) != 0) return RecordDbError();
    ZUBDB::QVParams cond(false);
    AddInt(cond, L"DocId", id_);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->SelectRows(rs, kDocTable, kNone, cond, kNone, kNone, kNone, 0, 0) != 0)
        return RecordDbError();
    if (!HasRow(rs)) {
        RaiseUnknownError(Err::kDocMissing, zub::FormatBounded(256, Err::kDocMissingText, id_));
        return Err::kDocMissing;
    }
    return judge(*rs);
}

int Doc::ConditionalUpdate(const ZUBDB::QVParams& values, const ZUBDB::QVParams& only,
                           const Judge& judge) {
    if (Accessor()->BeginTrans() != 0) return RecordDbError();
    PendingUnit unit(Accessor());
    if (int rc = UpdateIfStill(values, only, judge)) {
        Accessor()->RollbackTrans();
        return rc;
    }
    if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
    return 0;
}

int Doc::RefuseNotHolder() {
    RaiseUnknownError(Err::kNotHolder,
                      zub::FormatBounded(1024, Err::kNotHolderText, checkOutByName_.c_str()));
    return Err::kNotHolder;
}

int Doc::ManagesRepository(int repoId, bool& manages) {
    manages = false;
    ZUBDB::QVParams ids(false);
    AddInt(ids, L"DocRepoId", repoId);
    AddInt(ids, L"UserId", checkOutById_);
    AddInt(ids, L"UserId", checkOutById_);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->ExecuteSql(
            rs,
            L"select count(*) from QV_DMAuth where DocRepoId = ? and Manage <> 0 "
            L"and (UserId = ? or (RoleId <> 0 and RoleId in "
            L"(select RoleId from QV_UserRole where UserId = ?)))",
            ids, kNone, 0, 0) != 0)
        return RecordDbError();
    manages = HasRow(rs) && rs->GetIntAt(0, 0) > 0;
    return 0;
}

int Doc::EndCheckOut() {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::EndCheckOut", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kDocTable,
                                   L"CurrentState,CurrentOperatorId,CurrentVersion,DocRepoId", cond,
                                   kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kDocMissing, zub::FormatBounded(256, Err::kDocMissingText, id_));
            return Err::kDocMissing;
        }
        const long state = rs->GetIntAt(0);
        const long holder = rs->GetIntAt(1);
        const std::wstring version = rs->GetStringAt(2);
        const int repoId = static_cast<int>(rs->GetIntAt(3));
        rs.reset();
        if (state != 1) return RefuseNotHolder();
        if (holder != checkOutById_) {
            bool manages = false;
            if (int rc = ManagesRepository(repoId, manages)) return rc;
            if (!manages) {
                RaiseUnknownError(Err::kNotAllowed, Err::kNotAllowedText);
                return Err::kNotAllowed;
            }
        }
        ZUBDB::QVParams values(false);
        AddInt(values, L"CurrentState", 0);
        AddInt(values, L"CurrentOperatorId", 0);
        AddText(values, L"CurrentOperatorName", L"");
        AddInt(values, L"ChangeStamp", NewStamp());
        ZUBDB::QVParams only(false);
        AddInt(only, L"DocId", id_);
        AddInt(only, L"CurrentState", 1);
        AddInt(only, L"CurrentOperatorId", holder);
        AddText(only, L"CurrentVersion", version);
        AddText(only, L"PendingFile", L"");
        return ConditionalUpdate(values, only, [&](ZUBDB::CDBRecordset& now) {
            // A check-in that committed first advanced the version.
            if (now.GetInt(L"CurrentState") == 0 && now.GetString(L"CurrentVersion") == version)
                return 0;
            return RefuseNotHolder();
        });
    });
}

}  // namespace DRM
