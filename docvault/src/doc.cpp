#include "docvault/doc.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>

#include "docvault/errors.h"
#include "internal/auditrow.h"
#include "internal/contentsums.h"
#include "internal/doctable.h"
#include "internal/faultpoints.h"
#include "internal/operation.h"
#include "internal/pendingunit.h"
#include "internal/pendingwork.h"
#include "internal/plainname.h"
#include "internal/readahead.h"
#include "internal/repofiles.h"
#include "internal/rowparams.h"
#include "internal/rowvalues.h"
#include "internal/stagefolder.h"
#include "internal/stagepool.h"
#include "internal/versionnumbering.h"
#include "vaultfs/cnfs_cmd.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/doc";

// The strategy as a new document's first version needs it.
ZUBDB::CDBRead FirstVersionRead() {
    ZUBDB::CDBRead read;
    read.sql = L"select SeriaNumStra,NewDocBeginNum,Begin_Main,Begin_Sub from QV_DMVerStrategy";
    return read;
}

// The strategy as the next version needs it.
ZUBDB::CDBRead StrategyRead() {
    ZUBDB::CDBRead read;
    read.sql = L"select SeriaNumStra,NewDocBeginNum from QV_DMVerStrategy";
    return read;
}

ZUBDB::CDBRead UserNameRead(int userId) {
    ZUBDB::CDBRead read;
    read.table = L"QV_User";
    read.columns = L"UserName";
    AddInt(read.params, L"UserId", userId);
    return read;
}

// The columns of the row a check-in reads first.
constexpr const wchar_t* kCheckInColumns =
    L"CurrentState,CurrentOperatorId,CurrentVersion,Name,Ext,phyUrl,ChangeStamp,"
    L"ContentSha256,ContentBytes,PendingFile";

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

// A value no other change of the row draws: every operation that changes the
// row sets a fresh one, on condition that the row still carries the one it read.
long long NewStamp() {
    std::random_device device;
    const unsigned long long value = (std::uint64_t{device()} << 32) ^ device();
    return static_cast<long long>((value >> 2) | 1);
}

// The key of a document: its id in decimal. Not std::to_wstring, whose
// formatting machinery costs more than a listing's whole row.
std::wstring IdKey(int id) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, id).ptr;
    return std::wstring(digits, end);
}

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
      state_(state),
      checkOutById_(checkOutById),
      creById_(creById),
      lstUptById_(lstUptById),
      creTime_(creTime),
      lstUptTime_(lstUptTime),
      texts_({fileName, ext, currentVersion, checkOutByName, creByName, lstUptByName, phyUrl,
              std::wstring_view()}) {
    SetKey(IdKey(id_));
}

StagePool* Doc::Stages() {
    if (!stages_) stages_ = std::make_shared<StagePool>();
    return stages_.get();
}

int Doc::RejectName(const std::wstring& name) {
    RaiseUnknownError(Err::kInvalidName, InvalidNameText(name));
    return Err::kInvalidName;
}

int Doc::CheckNames() {
    if (fileName().empty() || !IsPlainName(fileName() + L"." + ext()))
        return RejectName(fileName() + L"." + ext());
    if (!IsFolderText(phyUrl())) return RejectName(phyUrl());
    return 0;
}

std::wstring Doc::CurrentRel() const { return CurrentRel(fileName() + L"." + ext()); }

std::wstring Doc::CurrentRel(const std::wstring& name) const {
    return L"\\trunk" + phyUrl() + L"\\" + name;
}

std::wstring Doc::HistoryRel(const std::wstring& version) const {
    return L"\\history\\" + std::to_wstring(id_) + L"_" + version + L"." + ext();
}

int Doc::RefuseTaken() {
    const std::wstring shown = phyUrl() + L"\\" + fileName() + L"." + ext();
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
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (DocTable(*this).Read(rs, docId) != 0) return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kDocMissing,
                              zub::FormatBounded(256, Err::kDocMissingText, docId));
            return Err::kDocMissing;
        }
        id_ = static_cast<int>(rs->GetInt(L"DocId"));
        docRepoId_ = static_cast<int>(rs->GetInt(L"DocRepoId"));
        state_ = static_cast<int>(rs->GetInt(L"CurrentState"));
        checkOutById_ = static_cast<int>(rs->GetInt(L"CurrentOperatorId"));
        creById_ = static_cast<int>(rs->GetInt(L"CreatorId"));
        creTime_ = rs->GetDouble(L"DocCreateTime");
        lstUptById_ = static_cast<int>(rs->GetInt(L"LastOperatorId"));
        lstUptTime_ = rs->GetDouble(L"LastOperateTime");
        const std::wstring texts[] = {
            rs->GetString(L"Name"),           rs->GetString(L"ext"),
            rs->GetString(L"CurrentVersion"), rs->GetString(L"CurrentOperatorName"),
            rs->GetString(L"creatorName"),    rs->GetString(L"LastOperatorName"),
            rs->GetString(L"PhyUrl"),         modifyInfo()};
        texts_ = PackedTexts<kTexts>(
            {texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], texts[6], texts[7]});
        caxDocType_ = static_cast<int>(rs->GetInt(L"CaxDocType"));
        SetKey(IdKey(id_));
        return 0;
    });
}

int Doc::Add(std::wstring localFile) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::Add", [&] {
        if (int rc = CheckNames()) return rc;
        if (IsReservedName(fileName() + L"." + ext())) return RejectName(fileName() + L"." + ext());
        if (HasReservedPart(phyUrl())) return RejectName(phyUrl());
        // The reads below, the repository's, the strategy's and the creator's,
        // in one round trip.
        const ReadAhead ahead(
            *this, {RepoLocation::Read(docRepoId_), FirstVersionRead(), UserNameRead(creById_)});
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
        StageFolder stage(Stages());
        if (int rc = stage.Create(files)) return rc;
        auto dropStage = [&] { stage.Remove(files); };
        std::wstring sha256;
        long long bytes = -1;
        if (int rc = stage.Upload(files, localFile, sha256, bytes)) {
            dropStage();
            return rc;
        }
        FaultPoint::Hit(FaultPoint::kAddStaged);
        const std::wstring mark = PendingWork::Mark{PendingWork::kAdd, stage.File(), L""}.Text();

        const DocTable table(*this);
        // Creator and last operator are one user: looked up once.
        const std::wstring creator = getUserName(creById_);
        RowValues values;
        values.Int(L"DocRepoId", docRepoId_)
            .Text(L"Name", fileName())
            .Text(L"Ext", ext())
            .Text(L"phyUrl", phyUrl())
            .Text(L"CurrentVersion", currentVersion())
            .Int(L"CurrentState", 0)
            .Int(L"CreatorId", creById_)
            .Text(L"CreatorName", creator)
            .Expr(L"DocCreateTime", L"getdate()")
            .Int(L"LastOperatorId", creById_)
            .Text(L"LastOperatorName", creator)
            .Expr(L"LastOperateTime", L"getdate()")
            .Int(L"CurrentOperatorId", 0)
            .Int(L"CaxDocType", caxDocType_)
            .Text(L"PendingFile", mark)
            .Text(L"ContentSha256", sha256)
            .Int(L"ContentBytes", bytes);
        Accessor()->CommitWithNextWrite();
        if (table.Insert(values) != 0 || table.Commit() != 0) {
            const int rc = RecordWriteError();
            dropStage();
            return rc;
        }
        const long long inserted = Accessor()->LastInsertId();
        FaultPoint::Hit(FaultPoint::kAddCommitted);

        if (inserted > 0) {
            id_ = static_cast<int>(inserted);
        } else {
            // A backend that cannot tell the new key: the largest one.
            std::unique_ptr<ZUBDB::CDBRecordset> rs;
            if (table.Select(rs, L"Max(DocId)", RowValues()) != 0) return RecordDbError();
            if (!HasRow(rs)) {
                RaiseUnknownError(Err::kUserOrDocTable, Err::kDocTableEmptyText);
                return Err::kUserOrDocTable;
            }
            id_ = static_cast<int>(rs->GetIntAt(0));
        }
        // The row is as this add wrote it: its own staging folder keeps
        // everyone else from finishing or changing it.
        const int rc = PendingWork(*this, files, id_, &stage).FinishFrom(mark, CurrentRel());
        if (rc == NFS::NFS_E_EXISTS) {
            // A file appeared at the path since the check: this add gives way.
            if (table.Delete(RowValues().Int(L"DocId", id_).Text(L"PendingFile", mark)) == 0 &&
                table.Commit() == 0)
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
    return PendingWork(*this, files, id_, mine).Finish();
}

int Doc::CheckOut(std::wstring localDir) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::CheckOut", [&] {
        if (int rc = CheckNames()) return rc;
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        if (int rc = FinishPending(files)) return rc;

        const DocTable table(*this);
        bool heldBefore = false;
        {
            std::unique_ptr<ZUBDB::CDBRecordset> rs;
            if (table.Read(rs, id_, L"CurrentState,CurrentOperatorId") != 0) return RecordDbError();
            heldBefore = HasRow(rs) && rs->GetIntAt(0) == 1 && rs->GetIntAt(1) == checkOutById_;
        }
        const RowValues values = RowValues()
                                     .Int(L"CurrentState", 1)
                                     .Int(L"CurrentOperatorId", checkOutById_)
                                     .Text(L"CurrentOperatorName", checkOutByName())
                                     .Int(L"ChangeStamp", NewStamp());
        const RowValues only =
            RowValues().Int(L"DocId", id_).Int(L"CurrentOperatorId", 0).Text(L"PendingFile", L"");
        int rc = table.ConditionalUpdate(id_, values, only, [&](ZUBDB::CDBRecordset& row) {
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
            const RowValues back = RowValues()
                                       .Int(L"CurrentState", 0)
                                       .Int(L"CurrentOperatorId", 0)
                                       .Text(L"CurrentOperatorName", L"")
                                       .Int(L"ChangeStamp", NewStamp());
            const RowValues mine = RowValues()
                                       .Int(L"DocId", id_)
                                       .Int(L"CurrentOperatorId", checkOutById_)
                                       .Text(L"PendingFile", L"");
            if (table.Update(back, mine) != 0 || table.Commit() != 0) Accessor()->RollbackTrans();
        }
        return rc;
    });
}

int Doc::Download(RepoFiles& files, const std::wstring& rel, const std::wstring& localDir,
                  const ContentSums::Lookup& recorded) {
    return ContentSums::Download(files, files.Path(rel), localDir, fileName() + L"." + ext(),
                                 recorded);
}

ContentSums::Lookup Doc::CurrentSum() {
    return [this](NFS::ContentSum& sum) { return ContentSums::Current(*this, id_, sum); };
}

int Doc::CheckIn(std::wstring localFile) { return CheckIn(std::move(localFile), std::wstring()); }

int Doc::CheckIn(std::wstring localFile, std::wstring rcId) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::CheckIn", [&] {
        if (int rc = CheckNames()) return rc;
        if (!IsPlainName(std::to_wstring(id_) + L"_" + currentVersion() + L"." + ext()))
            return RejectName(currentVersion());
        const wchar_t* const columns = kCheckInColumns;
        const ReadAhead ahead(*this, {RepoLocation::Read(docRepoId_),
                                      DocTable::RowRead(id_, columns), StrategyRead()});
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        // One read of the row tells whether earlier work is pending and
        // whether this user may check in; read again only after finishing.
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (DocTable(*this).Read(rs, id_, columns) != 0) return RecordDbError();
        if (HasRow(rs) && !rs->GetStringAt(9).empty()) {
            rs.reset();
            if (int rc = FinishPending(files)) return rc;
            if (DocTable(*this).Read(rs, id_, columns) != 0) return RecordDbError();
        }
        std::wstring next;
        if (int rc = NextVersionForWrite(next)) return rc;
        if (nextMain_ && next.find(L'.') != std::wstring::npos) {
            if (int rc = NextMainVersion(next)) return rc;
        }

        // Refused before the upload, so a check-in that cannot win moves no data.
        long long stamp = 0;
        // The replaced file's sum goes with it into history; the commit below
        // holds only while the row keeps this version.
        std::wstring replacedSum;
        long long replacedBytes = -1;
        {
            if (!HasRow(rs) || rs->GetIntAt(0) != 1 || rs->GetIntAt(1) != checkOutById_ ||
                rs->GetStringAt(2) != currentVersion())
                return RefuseNotHolder();
            // Renamed or moved since it was read: the replaced file is no
            // longer where this object would look for it.
            if (rs->GetStringAt(3) != fileName() || rs->GetStringAt(4) != ext() ||
                rs->GetStringAt(5) != phyUrl())
                return RefuseChanged();
            stamp = rs->GetInt64At(6);
            replacedSum = rs->GetStringAt(7);
            replacedBytes = rs->GetInt64At(8, -1);
            rs.reset();
        }

        StageFolder stage(Stages());
        if (int rc = stage.Create(files)) return rc;
        std::wstring sha256;
        long long bytes = -1;
        if (int rc = stage.Upload(files, localFile, sha256, bytes)) {
            stage.Remove(files);
            return rc;
        }
        // Judged by the recorded sum, which a store made before may lack.
        if (!allowUnchanged_ && !replacedSum.empty() && sha256 == replacedSum) {
            stage.Remove(files);
            RaiseUnknownError(Err::kUnchanged, zub::FormatBounded(1024, Err::kUnchangedText,
                                                                  currentVersion().c_str()));
            return Err::kUnchanged;
        }
        FaultPoint::Hit(FaultPoint::kCheckInStaged);
        const std::wstring mark =
            PendingWork::Mark{PendingWork::kCheckIn, stage.File(), HistoryRel(currentVersion())}
                .Text();
        if (int rc = CommitCheckIn(next, mark, rcId, stamp,
                                   {sha256, replacedSum, bytes, replacedBytes})) {
            stage.Remove(files);
            return rc;
        }
        FaultPoint::Hit(FaultPoint::kCheckInCommitted);
        set_currentVersion(next);
        // Committed: the version is saved whatever the publish meets.
        return PendingWork(*this, files, id_, &stage).FinishFrom(mark, CurrentRel()) == 0
                   ? 0
                   : PublishLater();
    });
}

int Doc::RefuseChanged() {
    RaiseUnknownError(Err::kChanged, zub::FormatBounded(256, Err::kChangedText, id_));
    return Err::kChanged;
}

int Doc::ReadStamp(long long& stamp) {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (DocTable(*this).Read(rs, id_, L"Name,Ext,phyUrl,ChangeStamp") != 0) return RecordDbError();
    if (!HasRow(rs)) {
        RaiseUnknownError(Err::kDocMissing, zub::FormatBounded(256, Err::kDocMissingText, id_));
        return Err::kDocMissing;
    }
    if (rs->GetStringAt(0) != fileName() || rs->GetStringAt(1) != ext() ||
        rs->GetStringAt(2) != phyUrl())
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
    const RowValues doc = RowValues()
                              .Text(L"Name", fileName())
                              .Text(L"Ext", ext())
                              .Text(L"CurrentVersion", next)
                              .Int(L"CurrentState", 0)
                              .Int(L"LastOperatorId", checkOutById_)
                              .Text(L"LastOperatorName", checkOutByName())
                              .Expr(L"LastOperateTime", L"getdate()")
                              .Expr(L"LastOperatorTime", L"getdate()")
                              .Text(L"phyUrl", phyUrl())
                              .Int(L"CurrentOperatorId", 0)
                              .Text(L"CurrentOperatorName", L"")
                              .Text(L"PendingFile", mark)
                              .Int(L"ChangeStamp", NewStamp())
                              .Text(L"ContentSha256", sums.staged)
                              .Int(L"ContentBytes", sums.stagedBytes);
    const RowValues only = RowValues()
                               .Int(L"DocId", id_)
                               .Int(L"CurrentState", 1)
                               .Int(L"CurrentOperatorId", checkOutById_)
                               .Text(L"CurrentVersion", currentVersion())
                               .Text(L"PendingFile", L"")
                               .Int(L"ChangeStamp", stamp);
    if (int rc = DocTable(*this).UpdateIfStill(id_, doc, only, [&](ZUBDB::CDBRecordset& row) {
            if (row.GetString(L"PendingFile") == mark) return 0;
            // Still held at this version: another change of the row won.
            if (row.GetInt(L"CurrentState") == 1 &&
                row.GetInt(L"CurrentOperatorId") == checkOutById_ &&
                row.GetString(L"CurrentVersion") == currentVersion())
                return RefuseChanged();
            return RefuseNotHolder();
        }))
        return fail(rc);

    if (int rc = InsertHistoryRows(rcId, sums.replaced, sums.replacedBytes, true)) return fail(rc);
    if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
    return 0;
}

int Doc::InsertHistoryRows(const std::wstring& rcId, const std::wstring& sha256, long long bytes,
                           bool commits) {
    const DocTable table(*this);
    const int main = VersionNumbering::Main(currentVersion());
    const int sub = VersionNumbering::Sub(currentVersion());
    // The revision and the operator's name are read by the insert itself:
    // two round trips fewer to a server, and the count is taken in the same
    // statement under the same writers' lock as a separate read would be.
    // Only a form row needs the revision back, so then it is read first.
    // A user without a row is named "", as a look-up that finds none answers.
    const std::wstring operatorName = L"coalesce((SELECT UserName FROM QV_User WHERE UserId = " +
                                      std::to_wstring(checkOutById_) + L"), '')";
    const std::wstring countedRevision =
        L"(SELECT count(*) + 1 FROM QV_DMDocVer WHERE DocId = " + std::to_wstring(id_) + L")";
    int revision = 0;
    if (!rcId.empty()) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (table.SelectHistory(rs, L"count(*)", RowValues().Int(L"DocId", id_)) != 0)
            return RecordDbError();
        revision = static_cast<int>((HasRow(rs) ? rs->GetIntAt(0, 0) : 0) + 1);
    }
    RowValues values;
    values.Int(L"DocId", id_)
        .Text(L"DocName", std::to_wstring(id_) + L"_" + std::to_wstring(main) + L"." +
                              std::to_wstring(sub) + L"." + ext())
        .Int(L"OperatorId", checkOutById_)
        .Expr(L"OperatorName", operatorName.c_str())
        .Expr(L"OperatorTime", L"getdate()")
        .Int(L"action", 1)
        .Text(L"OperateInfo", modifyInfo())
        .Text(L"phyUrl", L"\\history\\")
        .Int(L"version_main", main)
        .Int(L"version_sub", sub);
    if (rcId.empty())
        values.Expr(L"Revision", countedRevision.c_str());
    else
        values.Int(L"Revision", revision);
    values.Text(L"ContentSha256", sha256).Int(L"ContentBytes", bytes);
    if (commits && rcId.empty()) Accessor()->CommitWithNextWrite();
    if (table.InsertHistory(values) != 0) return RecordDbError();

    if (!rcId.empty()) {
        const RowValues form = RowValues()
                                   .Text(L"rcId", rcId)
                                   .Int(L"revision", revision)
                                   .Int(L"DocId", id_)
                                   .Int(L"CaxDocType", 1);
        if (commits) Accessor()->CommitWithNextWrite();
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
        long long bytes = -1;
        if (int rc = files.Upload(localFile, files.Path(CurrentRel()), sha256, bytes)) return rc;
        // The file is replaced in place: its recorded sum follows.
        const DocTable table(*this);
        if (table.Update(RowValues().Text(L"ContentSha256", sha256).Int(L"ContentBytes", bytes),
                         RowValues().Int(L"DocId", id_)) != 0)
            return RollBackAndRecord();
        if (table.Commit() != 0) return RollBackAndRecord();
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
        const std::wstring saved = std::to_wstring(id_) + L"_" + versionStr + L"." + ext();
        if (!IsPlainName(saved)) return RejectName(versionStr);
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        if (int rc = FinishPending(files)) return rc;
        const int main = VersionNumbering::Main(versionStr);
        const int sub = VersionNumbering::Sub(versionStr);
        return Download(files, HistoryRel(versionStr), localDir, [&](NFS::ContentSum& sum) {
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
        const std::wstring ext = dot == std::wstring::npos ? this->ext() : newName.substr(dot + 1);
        if (name.empty() || !IsPlainName(name + L"." + ext) || IsReservedName(name + L"." + ext))
            return RejectName(newName);
        return Relocate(phyUrl(), name, ext, L"rename", fileName() + L"." + this->ext());
    });
}

int Doc::Move(std::wstring folder) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::Move", [&] {
        if (int rc = CheckNames()) return rc;
        if (!IsFolderText(folder) || HasReservedPart(folder)) return RejectName(folder);
        return Relocate(folder, fileName(), ext(), L"move", phyUrl());
    });
}

int Doc::Relocate(const std::wstring& folder, const std::wstring& name, const std::wstring& ext,
                  const std::wstring& action, const std::wstring& detail) {
    RepoFiles files(*this);
    if (int rc = files.Open(docRepoId_)) return rc;
    if (int rc = FinishPending(files)) return rc;
    long long stamp = 0;
    if (int rc = ReadStamp(stamp)) return rc;
    const std::wstring target = L"\\trunk" + folder + L"\\" + name + L"." + ext;
    auto refuseTaken = [&] {
        const std::wstring shown = folder + L"\\" + name + L"." + ext;
        RaiseUnknownError(Err::kDocExists,
                          zub::FormatBounded(1024, Err::kDocExistsText, shown.c_str()));
        return Err::kDocExists;
    };
    bool taken = false;
    if (int rc = files.FileExists(files.Path(target), taken)) return rc;
    if (taken) return refuseTaken();

    // The row takes the new place first, marked until the file follows.
    // The nonce tells this rename's mark from any other's.
    const std::wstring mark = PendingWork::Mark{PendingWork::kRename, CurrentRel(),
                                                std::wstring(kStagingPrefix) + StagingNonce()}
                                  .Text();
    const RowValues values = RowValues()
                                 .Text(L"Name", name)
                                 .Text(L"Ext", ext)
                                 .Text(L"phyUrl", folder)
                                 .Text(L"PendingFile", mark)
                                 .Int(L"ChangeStamp", NewStamp());
    const RowValues only =
        RowValues().Int(L"DocId", id_).Text(L"PendingFile", L"").Int(L"ChangeStamp", stamp);
    const DocTable table(*this);
    if (Accessor()->BeginTrans() != 0) return RecordDbError();
    {
        PendingUnit unit(Accessor());
        if (table.Update(values, only) != 0) {
            if (!IsUniqueViolation(Accessor()->errNumber())) return RollBackAndRecord();
            Accessor()->RollbackTrans();
            return refuseTaken();
        }
        std::wstring now;
        {
            std::unique_ptr<ZUBDB::CDBRecordset> rs;
            if (table.Read(rs, id_, L"PendingFile") != 0) return RollBackAndRecord();
            if (HasRow(rs)) now = rs->GetStringAt(0);
        }
        if (now != mark) {
            Accessor()->RollbackTrans();
            return RefuseChanged();
        }
        const AuditRow entry{checkOutById_, action, docRepoId_,       id_,   folder,
                             name,          ext,    currentVersion(), detail};
        if (entry.Insert(*this) != 0) return RollBackAndRecord();
        if (table.Commit() != 0) return RollBackAndRecord();
    }
    FaultPoint::Hit(FaultPoint::kRenameCommitted);
    return FinishPending(files) == 0 ? 0 : PublishLater();
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
        // The mark names the deleting user for the entry its finisher writes.
        const std::wstring mark =
            PendingWork::Mark{PendingWork::kDelete, stage.File(), std::to_wstring(checkOutById_)}
                .Text();
        const RowValues values =
            RowValues().Text(L"PendingFile", mark).Int(L"ChangeStamp", NewStamp());
        const RowValues only =
            RowValues().Int(L"DocId", id_).Text(L"PendingFile", L"").Int(L"ChangeStamp", stamp);
        if (int rc =
                DocTable(*this).ConditionalUpdate(id_, values, only, [&](ZUBDB::CDBRecordset& row) {
                    return row.GetString(L"PendingFile") == mark ? 0 : RefuseChanged();
                })) {
            stage.Remove(files);
            return rc;
        }
        FaultPoint::Hit(FaultPoint::kDeleteMarked);
        const int rc =
            PendingWork(*this, files, id_).FinishDelete(files.Path(CurrentRel()), mark, true);
        stage.Remove(files);
        return rc;
    });
}

int Doc::NextMainVersion(std::wstring& next) {
    // The repository's next main number as its listing shows it, and at
    // least this document's next one.
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (DocTable(*this).Select(rs, L"max(cast(CurrentVersion as numeric(8,4)))",
                               RowValues().Int(L"DocRepoId", docRepoId_)) != 0)
        return RecordDbError();
    const double highest = HasRow(rs) ? rs->GetDoubleAt(0, 0.0) : 0.0;
    long long main = static_cast<long long>(VersionNumbering::Main(currentVersion())) + 1;
    if (std::isfinite(highest) && highest < INT_MAX)
        main = std::max(main, static_cast<long long>(std::ceil(highest)));
    next = std::to_wstring(main) + L".0";
    return 0;
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
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (DocTable(*this).Read(rs, docId, L"CurrentState") != 0) return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kDocIdMissing, Err::kDocIdMissingText);
            return Err::kDocIdMissing;
        }
        return static_cast<int>(rs->GetIntAt(0));
    });
}

long Doc::GetRevision() {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::GetRevision", [&] {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (DocTable(*this).SelectHistory(rs, L"max(Revision)", RowValues().Int(L"DocId", id_)) !=
            0)
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
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (ReadAhead::Make(*this, StrategyRead(), rs) != 0) return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kNextVersionStrategy, Err::kStrategyEmptyText);
            return Err::kNextVersionStrategy;
        }
        result =
            VersionNumbering::Next(currentVersion(), static_cast<int>(rs->GetInt(L"SeriaNumStra")));
        return 0;
    });
    return result;
}

int Doc::initVersion() {
    return OperationScope::RunUnguarded(*this, [&] {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (ReadAhead::Make(*this, FirstVersionRead(), rs) != 0) return RecordDbError();
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
        set_currentVersion(version);
        return 0;
    });
}

std::wstring Doc::getMaxCurrentVersion(int scheme) {
    std::wstring result;
    OperationScope::RunUnguarded(*this, [&] {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (DocTable(*this).Select(rs, L"max(cast(CurrentVersion as numeric)) as maxVersion",
                                   RowValues().Int(L"DocRepoId", docRepoId_)) != 0)
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

std::wstring Doc::getUserName(int userId) {
    std::wstring result;
    OperationScope::Run(*this, kFile, L"DRM::Doc::getUserName", [&] {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (ReadAhead::Make(*this, UserNameRead(userId), rs) != 0) return RecordDbError();
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
        if (!IsPlainName(std::to_wstring(id_) + L"_" + currentVersion() + L"." + ext()))
            return RejectName(currentVersion());
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        // The copy checks the current file against its sum as it reads it.
        NFS::ContentSum sum;
        if (int rc = ContentSums::Current(*this, id_, sum)) return rc;
        if (int rc =
                files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.copy(server, port, files.Path(CurrentRel()),
                                    files.Path(HistoryRel(currentVersion())), sum);
                }))
            return rc;

        if (Accessor()->BeginTrans() != 0) return RecordDbError();
        PendingUnit unit(Accessor());
        auto fail = [&](int rc) {
            Accessor()->RollbackTrans();
            return rc;
        };
        if (int rc = InsertHistoryRows(rcId, sum.sha256, static_cast<long long>(sum.bytes)))
            return fail(rc);
        std::wstring next;
        if (int rc = NextVersionForWrite(next)) return fail(rc);
        const RowValues doc = RowValues()
                                  .Text(L"Name", fileName())
                                  .Text(L"ext", ext())
                                  .Text(L"phyUrl", phyUrl())
                                  .Text(L"CurrentVersion", next)
                                  .Int(L"CurrentState", 1)
                                  .Int(L"CurrentOperatorId", 0)
                                  .Text(L"CurrentOperatorName", L"")
                                  .Int(L"LastOperatorId", checkOutById_)
                                  .Text(L"LastOperatorName", checkOutByName())
                                  .Expr(L"LastOperatorTime", L"getdate()")
                                  .Int(L"ChangeStamp", NewStamp());
        const DocTable table(*this);
        if (table.Update(doc, RowValues().Int(L"DocId", id_)) != 0) return fail(RecordDbError());
        if (table.Commit() != 0) return fail(RecordDbError());
        return 0;
    });
}

int Doc::RefuseNotHolder() {
    RaiseUnknownError(Err::kNotHolder,
                      zub::FormatBounded(1024, Err::kNotHolderText, checkOutByName().c_str()));
    return Err::kNotHolder;
}

int Doc::ManagesRepository(int repoId, bool& manages) {
    manages = false;
    const RowValues ids = RowValues()
                              .Int(L"DocRepoId", repoId)
                              .Int(L"UserId", checkOutById_)
                              .Int(L"UserId", checkOutById_);
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
        const DocTable table(*this);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (table.Read(rs, id_, L"CurrentState,CurrentOperatorId,CurrentVersion,DocRepoId") != 0)
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
        const RowValues values = RowValues()
                                     .Int(L"CurrentState", 0)
                                     .Int(L"CurrentOperatorId", 0)
                                     .Text(L"CurrentOperatorName", L"")
                                     .Int(L"ChangeStamp", NewStamp());
        const RowValues only = RowValues()
                                   .Int(L"DocId", id_)
                                   .Int(L"CurrentState", 1)
                                   .Int(L"CurrentOperatorId", holder)
                                   .Text(L"CurrentVersion", version)
                                   .Text(L"PendingFile", L"");
        if (Accessor()->BeginTrans() != 0) return RecordDbError();
        PendingUnit unit(Accessor());
        if (int rc = table.UpdateIfStill(id_, values, only, [&](ZUBDB::CDBRecordset& now) {
                // A check-in that committed first advanced the version.
                if (now.GetInt(L"CurrentState") == 0 && now.GetString(L"CurrentVersion") == version)
                    return 0;
                return RefuseNotHolder();
            })) {
            Accessor()->RollbackTrans();
            return rc;
        }
        const AuditRow entry{actingUserId_ != 0 ? actingUserId_ : checkOutById_,
                             L"unlock",
                             repoId,
                             id_,
                             phyUrl(),
                             fileName(),
                             ext(),
                             version,
                             getUserName(static_cast<int>(holder))};
        if (entry.Insert(*this) != 0 || Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

}  // namespace DRM
