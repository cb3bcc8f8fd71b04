#include "docvault/doc.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <memory>

#include "docvault/errors.h"
#include "docvault/fileserverlogin.h"
#include "docvault/operation.h"
#include "internal/plainname.h"
#include "internal/repolocation.h"
#include "internal/rowparams.h"
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
    RaiseUnknownError(DocErr::kInvalidName, InvalidNameText(name));
    return DocErr::kInvalidName;
}

int Doc::CheckNames() {
    if (fileName_.empty() || !IsPlainName(fileName_ + L"." + ext_))
        return RejectName(fileName_ + L"." + ext_);
    if (!IsFolderText(phyUrl_)) return RejectName(phyUrl_);
    return 0;
}

std::wstring Doc::CurrentPath(const RepoLocation& loc) const {
    return CurrentPath(loc, fileName_ + L"." + ext_);
}

std::wstring Doc::CurrentPath(const RepoLocation& loc, const std::wstring& name) const {
    return loc.dir + L"\\trunk" + phyUrl_ + L"\\" + name;
}

std::wstring Doc::HistoryPath(const RepoLocation& loc, const std::wstring& version) const {
    return loc.dir + L"\\history\\" + std::to_wstring(id_) + L"_" + version + L"." + ext_;
}

int Doc::Read(int docId) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::Read", __LINE__, [&] {
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
    return OperationScope::Run(*this, kFile, L"DRM::Doc::Add", __LINE__, [&] {
        if (int rc = CheckNames()) return rc;
        RepoLocation loc;
        if (int rc = loc.Lookup(*this, docRepoId_)) return rc;

        // The upload replaces whatever file lies at the path: another
        // document's current file must not be overwritten by a new one.
        {
            ZUBDB::QVParams cond(false);
            AddInt(cond, L"DocRepoId", docRepoId_);
            AddText(cond, L"Name", fileName_);
            AddText(cond, L"Ext", ext_);
            AddText(cond, L"phyUrl", phyUrl_);
            std::unique_ptr<ZUBDB::CDBRecordset> rs;
            if (Accessor()->SelectRows(rs, kDocTable, L"DocId", cond, kNone, kNone, kNone, 0, 0) !=
                0)
                return RecordDbError();
            if (HasRow(rs)) {
                const std::wstring shown = phyUrl_ + L"\\" + fileName_ + L"." + ext_;
                RaiseUnknownError(DocErr::kDocExists,
                                  zub::FormatBounded(1024, DocErr::kDocExistsText, shown.c_str()));
                return DocErr::kDocExists;
            }
        }

        // Numbered before anything is stored: a document must not be kept
        // with a version the strategy did not give it.
        if (int rc = initVersion()) return rc;

        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), loc.server, loc.port);
        std::uint64_t count = 0;
        if (NFS::CNFS_Cmd::Instance()->upload(loc.server, loc.port, localFile, CurrentPath(loc),
                                              count, false) != 0)
            return RecordNfsError();

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
        if (Accessor()->InsertRow(kDocTable, values, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();

        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kDocTable, L"Max(DocId)", none, kNone, kNone, kNone, 0, 0) !=
            0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kUserOrDocTable, Err::kDocTableEmptyText);
            return Err::kUserOrDocTable;
        }
        id_ = static_cast<int>(InsertedId(rs->GetIntAt(0)));
        return 0;
    });
}

int Doc::CheckOut(std::wstring localDir) {
    return OperationScope::RunUnguarded(*this, [&] {
        if (int rc = View(std::move(localDir))) return rc;
        return UpdateState(id_, 1);
    });
}

int Doc::CheckIn(std::wstring localFile) { return CheckIn(std::move(localFile), std::wstring()); }

int Doc::CheckIn(std::wstring localFile, std::wstring rcId) {
    return OperationScope::RunUnguarded(*this, [&] {
        if (int rc = SaveToHistory(std::move(rcId))) return rc;
        if (int rc = UpLoadDoc(std::move(localFile))) return rc;
        return UpdateState(id_, 0);
    });
}

int Doc::UpLoadDoc(std::wstring localFile) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::UpLoadDoc", __LINE__, [&] {
        if (int rc = CheckNames()) return rc;
        RepoLocation loc;
        if (int rc = loc.Lookup(*this, docRepoId_)) return rc;
        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), loc.server, loc.port);
        std::uint64_t count = 0;
        if (NFS::CNFS_Cmd::Instance()->upload(loc.server, loc.port, localFile, CurrentPath(loc),
                                              count, false) != 0)
            return RecordNfsError();
        return 0;
    });
}

int Doc::View(std::wstring localDir) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::View", __LINE__, [&] {
        if (int rc = CheckNames()) return rc;
        RepoLocation loc;
        if (int rc = loc.Lookup(*this, docRepoId_)) return rc;
        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), loc.server, loc.port);
        std::uint64_t count = 0;
        if (NFS::CNFS_Cmd::Instance()->download(loc.server, loc.port, CurrentPath(loc), localDir,
                                                fileName_ + L"." + ext_, count, false) != 0)
            return RecordNfsError();
        return 0;
    });
}

int Doc::GetHistory(std::wstring versionStr, std::wstring localDir) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::GetHistory", __LINE__, [&] {
        if (int rc = CheckNames()) return rc;
        const std::wstring saved = std::to_wstring(id_) + L"_" + versionStr + L"." + ext_;
        if (!IsPlainName(saved)) return RejectName(versionStr);
        RepoLocation loc;
        if (int rc = loc.Lookup(*this, docRepoId_)) return rc;
        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), loc.server, loc.port);
        std::uint64_t count = 0;
        if (NFS::CNFS_Cmd::Instance()->download(loc.server, loc.port, HistoryPath(loc, versionStr),
                                                localDir, fileName_ + L"." + ext_, count,
                                                false) != 0)
            return RecordNfsError();
        return 0;
    });
}

int Doc::ReName(std::wstring newName) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::ReName", __LINE__, [&] {
        if (int rc = CheckNames()) return rc;
        // A name without a '.' keeps the document's extension, so the row and
        // the server file keep naming the same file.
        const std::size_t dot = newName.rfind(L'.');
        const std::wstring name = dot == std::wstring::npos ? newName : newName.substr(0, dot);
        const std::wstring ext = dot == std::wstring::npos ? ext_ : newName.substr(dot + 1);
        if (name.empty() || !IsPlainName(name + L"." + ext)) return RejectName(newName);

        RepoLocation loc;
        if (int rc = loc.Lookup(*this, docRepoId_)) return rc;
        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), loc.server, loc.port);
        NFS::CNFS_Cmd& cmd = *NFS::CNFS_Cmd::Instance();
        const std::wstring oldPath = CurrentPath(loc);
        const std::wstring newPath = CurrentPath(loc, name + L"." + ext);
        if (cmd.renameFile(loc.server, loc.port, oldPath, newPath) != 0) return RecordNfsError();

        // A row left naming the old file would name no file at all, and a
        // second ReName could not find it either: the file goes back.
        auto renameBack = [&] {
            if (cmd.renameFile(loc.server, loc.port, newPath, oldPath) != 0) RecordNfsError();
        };
        ZUBDB::QVParams values(false);
        AddText(values, L"Name", name);
        AddText(values, L"Ext", ext);
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        if (Accessor()->UpdateRows(kDocTable, values, cond, kNone, kNone) != 0) {
            renameBack();
            return RecordDbError();
        }
        if (Accessor()->CommitTrans() != 0) {
            renameBack();
            return RollBackAndRecord();
        }
        return 0;
    });
}

int Doc::Delete() {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::Delete", __LINE__, [&] {
        if (int rc = CheckNames()) return rc;
        RepoLocation loc;
        if (int rc = loc.Lookup(*this, docRepoId_)) return rc;
        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), loc.server, loc.port);
        if (NFS::CNFS_Cmd::Instance()->delFile(loc.server, loc.port, CurrentPath(loc)) != 0)
            return RecordNfsError();

        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        if (Accessor()->DeleteRows(kDocTable, cond, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int Doc::NextVersionForWrite(std::wstring& next) {
    const std::size_t before = ErrorLog().size();
    next = GetNextVersion();
    if (!next.empty()) return 0;
    if (ErrorLog().size() != before) return static_cast<int>(ErrNumber());
    // A scheme without a next version would store an empty version.
    RaiseUnknownError(Err::kNextVersionStrategy, DocErr::kUnknownSchemeText);
    return Err::kNextVersionStrategy;
}

int Doc::UpdateState(int docId, int newState) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::UpdateState", __LINE__, [&] {
        ZUBDB::QVParams values(false);
        if (newState == 1) {
            AddInt(values, L"CurrentState", 1);
            AddInt(values, L"CurrentOperatorId", checkOutById_);
            AddText(values, L"CurrentOperatorName", checkOutByName_);
        } else {
            std::wstring next;
            if (int rc = NextVersionForWrite(next)) return rc;
            AddText(values, L"Name", fileName_);
            AddText(values, L"Ext", ext_);
            AddText(values, L"CurrentVersion", next);
            AddInt(values, L"CurrentState", 0);
            AddInt(values, L"LastOperatorId", checkOutById_);
            AddText(values, L"LastOperatorName", checkOutByName_);
            AddExpr(values, L"LastOperateTime", L"getdate()");
            AddText(values, L"phyUrl", phyUrl_);
            AddInt(values, L"CurrentOperatorId", 0);
            AddText(values, L"CurrentOperatorName", L"");
            // Asked again from the unchanged text, so it matches what is written.
            std::wstring again = GetNextVersion();
            currentVersion_ = again.empty() ? next : std::move(again);
        }
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", docId);
        if (Accessor()->UpdateRows(kDocTable, values, cond, kNone, kNone) != 0)
            return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int Doc::getState(int docId) {
    return OperationScope::Run(*this, kFile, L"DRM::Doc::getState", __LINE__, [&] {
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
    return OperationScope::Run(*this, kFile, L"DRM::Doc::GetRevision", __LINE__, [&] {
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
    OperationScope::Run(*this, kFile, L"DRM::Doc::GetNextVersion", __LINE__, [&] {
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
    OperationScope::Run(*this, kFile, L"DRM::Doc::getUserName", __LINE__, [&] {
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
    return OperationScope::Run(*this, kFile, L"DRM::Doc::SaveToHistory", __LINE__, [&] {
        if (int rc = CheckNames()) return rc;
        if (!IsPlainName(std::to_wstring(id_) + L"_" + currentVersion_ + L"." + ext_))
            return RejectName(currentVersion_);
        RepoLocation loc;
        if (int rc = loc.Lookup(*this, docRepoId_)) return rc;

        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), loc.server, loc.port);
        if (NFS::CNFS_Cmd::Instance()->copy(loc.server, loc.port, CurrentPath(loc),
                                            HistoryPath(loc, currentVersion_)) != 0)
            return RecordNfsError();

        if (Accessor()->BeginTrans() != 0) return RecordDbError();
        // Until the commit, every way out (failure or exception) rolls back.
        auto rollback = [](ZUBDB::CDBAccessor* accessor) {
            try {
                accessor->RollbackTrans();
            } catch (...) {}
        };
        std::unique_ptr<ZUBDB::CDBAccessor, decltype(rollback)> pending(Accessor(), rollback);

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
        if (Accessor()->InsertRow(kHistoryTable, values, kNone, kNone) != 0) return RecordDbError();

        if (!rcId.empty()) {
            ZUBDB::QVParams form(false);
            AddText(form, L"rcId", rcId);
            AddInt(form, L"revision", revision);
            AddInt(form, L"DocId", id_);
            AddInt(form, L"CaxDocType", 1);
            if (Accessor()->InsertRow(L"QV_CaxForm", form, kNone, kNone) != 0)
                return RecordDbError();
        }

        std::wstring next;
        if (int rc = NextVersionForWrite(next)) return rc;
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
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocId", id_);
        if (Accessor()->UpdateRows(kDocTable, doc, cond, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RecordDbError();
        pending.release();
        return 0;
    });
}

}  // namespace DRM
