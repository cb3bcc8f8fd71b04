// A document: one row of QV_DMDoc plus its current file in the repository's
// trunk folder (R\trunk<phyUrl>\<fileName>.<ext>). Saved versions lie flat in
// R\history as <id>_<version>.<ext>.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "docvault/bo.h"
#include "docvault/packedtexts.h"

namespace NFS {
struct ContentSum;
}

namespace DRM {

struct RepoLocation;
class RepoFiles;
class StageFolder;
class StagePool;

struct filterForDoc {
    int docRepoId = 0;
    int baseLineId = 0;  // carried for the caller; the listing ignores it
};

class Doc : public BO {
    friend class RepoCheck;

public:
    Doc() = default;
    // Keyed by the decimal id; modifyInfo empty, caxDocType 0.
    Doc(int id, int docRepoId, std::wstring fileName, std::wstring ext, std::wstring currentVersion,
        int state, int checkOutById, std::wstring checkOutByName, int creById,
        std::wstring creByName, double creTime, int lstUptById, std::wstring lstUptByName,
        double lstUptTime, std::wstring phyUrl);
    Doc(const Doc& other) = default;
    Doc& operator=(const Doc& other) = default;
    ~Doc() override = default;

    int id() const { return id_; }
    void set_id(int v) { id_ = v; }
    int docRepoId() const { return docRepoId_; }
    void set_docRepoId(int v) { docRepoId_ = v; }
    std::wstring fileName() const { return texts_.Get(kFileName); }
    void set_fileName(std::wstring_view v) { texts_.Set(kFileName, v); }
    std::wstring ext() const { return texts_.Get(kExt); }
    void set_ext(std::wstring_view v) { texts_.Set(kExt, v); }
    std::wstring currentVersion() const { return texts_.Get(kCurrentVersion); }
    void set_currentVersion(std::wstring_view v) { texts_.Set(kCurrentVersion, v); }
    // 0 checked in, 1 checked out.
    int state() const { return state_; }
    void set_state(int v) { state_ = v; }
    // The acting user; while checked out, the holder.
    int checkOutById() const { return checkOutById_; }
    void set_checkOutById(int v) { checkOutById_ = v; }
    std::wstring checkOutByName() const { return texts_.Get(kCheckOutByName); }
    void set_checkOutByName(std::wstring_view v) { texts_.Set(kCheckOutByName, v); }
    int creById() const { return creById_; }
    void set_creById(int v) { creById_ = v; }
    std::wstring creByName() const { return texts_.Get(kCreByName); }
    void set_creByName(std::wstring_view v) { texts_.Set(kCreByName, v); }
    double creTime() const { return creTime_; }
    void set_creTime(double v) { creTime_ = v; }
    int lstUptById() const { return lstUptById_; }
    void set_lstUptById(int v) { lstUptById_ = v; }
    std::wstring lstUptByName() const { return texts_.Get(kLstUptByName); }
    void set_lstUptByName(std::wstring_view v) { texts_.Set(kLstUptByName, v); }
    double lstUptTime() const { return lstUptTime_; }
    void set_lstUptTime(double v) { lstUptTime_ = v; }
    // Sub-folder below \trunk: empty, or beginning with '\'.
    std::wstring phyUrl() const { return texts_.Get(kPhyUrl); }
    void set_phyUrl(std::wstring_view v) { texts_.Set(kPhyUrl, v); }
    int caxDocType() const { return caxDocType_; }
    void set_caxDocType(int v) { caxDocType_ = v; }
    // Free text of the change, written into the history row at check-in.
    std::wstring modifyInfo() const { return texts_.Get(kModifyInfo); }
    void set_modifyInfo(std::wstring_view v) { texts_.Set(kModifyInfo, v); }

    // A check-in of the content the document has already makes a new
    // version unless refused here (then 49633). Allowed by default: callers
    // of the automation server rely on every check-in making a version.
    bool allowUnchanged() const { return allowUnchanged_; }
    void set_allowUnchanged(bool v) { allowUnchanged_ = v; }

    // Who the audit trail names for an unlock when someone acts for the
    // holder (an administrator passes the holder as checkOutById); 0 names
    // checkOutById.
    int actingUserId() const { return actingUserId_; }
    void set_actingUserId(int v) { actingUserId_ = v; }

    // A check-in under main.sub numbering makes the next main version
    // (N.0): the repository's next main number, at least this document's.
    bool nextMain() const { return nextMain_; }
    void set_nextMain(bool v) { nextMain_ = v; }

    int Read(int docId);
    // Numbers the version, uploads the file, inserts the row; sets id and
    // currentVersion.
    int Add(std::wstring localFile);
    // Marks the row checked out by checkOutById, then downloads the current
    // file into localDir. Succeeds only while the document is checked in or
    // already held by that user; otherwise 49612 naming the holder, and the
    // row stays as it was. A failed download gives the check-out back.
    int CheckOut(std::wstring localDir);
    // All or nothing: uploads localFile under a staging name, then in one
    // transaction writes the history row (and CAD form row) and advances the
    // document row, on condition that checkOutById still holds the checked-out
    // version currentVersion (else 49613 and nothing changes); then moves the
    // replaced file to its history path and the staged file into place. A
    // crash after the commit is completed by the next operation on the
    // document or by RepoCheck. The content of the replaced version again is
    // refused unless allowUnchanged (49633, nothing changes).
    int CheckIn(std::wstring localFile);
    // As above; rcId names the CAD form recorded with the check-in (empty: none).
    int CheckIn(std::wstring localFile, std::wstring rcId);
    // Replaces the current file on the server; only its recorded sum changes
    // in the database.
    int UpLoadDoc(std::wstring localFile);
    // Downloads the current file into localDir as <fileName>.<ext>.
    int View(std::wstring localDir);
    // Downloads the saved version versionStr into localDir under the current name.
    int GetHistory(std::wstring versionStr, std::wstring localDir);
    // newName with its extension; without a '.' the extension stays as it is.
    // When the row cannot be updated the file gets its old name back.
    int ReName(std::wstring newName);
    // Moves the document to `folder` (empty, or "\a\b" below the trunk) with
    // its id, version and history; as a rename, the row first, then the file.
    int Move(std::wstring folder);
    // Deletes the current file, then the row; the history stays.
    int Delete();
    // Ends a check-out without a check-in: the document keeps its version and
    // its current file. Allowed for the holder (checkOutById) and for a user
    // with the manage right on the repository (directly or through a role);
    // else 49616. A document that is not checked out: 49613. The change is a
    // conditional update, so a check-in that commits first wins.
    int EndCheckOut();
    // The row's state (0 or 1), or an error number (tell them apart by ErrNumber).
    int getState(int docId);
    // The largest history revision, or an error number.
    long GetRevision();
    // The version after currentVersion under the strategy; empty on failure.
    std::wstring GetNextVersion();
    // Copies the current file into the history folder and, in one transaction,
    // writes the history row, the CAD form row and the advanced document row.
    int SaveToHistory(std::wstring rcId);

private:
    int initVersion();
    std::wstring getMaxCurrentVersion(int scheme);
    std::wstring getUserName(int userId);

    // Refuses names that would lead out of their folder on the server.
    int CheckNames();
    // The pool of staging folders this object's uploads use, made at first use.
    StagePool* Stages();
    int RejectName(const std::wstring& name);
    // Paths below the repository's root.
    std::wstring CurrentRel() const;
    std::wstring CurrentRel(const std::wstring& name) const;
    std::wstring HistoryRel(const std::wstring& version) const;
    // 49611 for this document's path.
    int RefuseTaken();
    // A failed write: a unique-index refusal becomes 49611; rolled back.
    int RecordWriteError();
    // Checked against the sum and size `recorded` reads as the bytes stream.
    int Download(RepoFiles& files, const std::wstring& rel, const std::wstring& localDir,
                 const std::function<int(NFS::ContentSum&)>& recorded);
    // Reads the recorded sum and size of this document's current file.
    std::function<int(NFS::ContentSum&)> CurrentSum();
    // SHA-256 of the staged new file and of the file it replaces.
    struct CheckInSums {
        std::wstring staged;
        std::wstring replaced;
        long long stagedBytes = -1;
        long long replacedBytes = -1;
    };
    int CommitCheckIn(const std::wstring& next, const std::wstring& mark, const std::wstring& rcId,
                      long long stamp, const CheckInSums& sums);
    // sha256, bytes: of the saved file the row names. `commits`: the last row
    // written commits the open unit.
    int InsertHistoryRows(const std::wstring& rcId, const std::wstring& sha256, long long bytes,
                          bool commits = false);
    // Completes an interrupted add, check-in, rename or delete of this
    // document (see PendingWork). `mine`: the staging folder the calling
    // operation holds itself.
    int FinishPending(RepoFiles& files, StageFolder* mine = nullptr);
    // After a commit whose publish failed: success, with the failure kept as
    // a warning (49631) on the object.
    int PublishLater();
    // Reads the row's change stamp; 49632 when the row no longer carries this
    // object's name and folder.
    int ReadStamp(long long& stamp);
    int RefuseChanged();
    // GetNextVersion for a write: an empty result is a recorded failure.
    int NextVersionForWrite(std::wstring& next);
    int NextMainVersion(std::wstring& next);
    int RefuseNotHolder();
    // Gives the row a new folder, name and extension, then moves the file;
    // `action` and `detail` go into the audit trail with the change.
    int Relocate(const std::wstring& folder, const std::wstring& name, const std::wstring& ext,
                 const std::wstring& action, const std::wstring& detail);
    int ManagesRepository(int repoId, bool& manages);

    enum Text : std::size_t {
        kFileName,
        kExt,
        kCurrentVersion,
        kCheckOutByName,
        kCreByName,
        kLstUptByName,
        kPhyUrl,
        kModifyInfo,
        kTexts
    };

    int docRepoId_ = 0;
    int id_ = 0;
    int state_ = 0;
    int checkOutById_ = 0;
    int creById_ = 0;
    int lstUptById_ = 0;
    int caxDocType_ = 0;
    int actingUserId_ = 0;
    bool allowUnchanged_ = true;
    bool nextMain_ = false;
    double creTime_ = 0.0;
    double lstUptTime_ = 0.0;
    // A listing holds many documents: their texts share one block each.
    PackedTexts<kTexts> texts_;
    // Staging folders kept between this object's adds and check-ins; shared
    // by its copies.
    std::shared_ptr<StagePool> stages_;
};

}  // namespace DRM
