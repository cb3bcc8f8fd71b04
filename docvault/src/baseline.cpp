#include "docvault/baseline.h"

#include <cstdint>
#include <map>
#include <memory>

#include "docvault/doc.h"
#include "docvault/docrepo.h"
#include "docvault/errors.h"
#include "internal/faultpoints.h"
#include "internal/operation.h"
#include "internal/pendingunit.h"
#include "internal/plainname.h"
#include "internal/repofiles.h"
#include "internal/rowparams.h"
#include "internal/stagefolder.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/nfserrors.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/baseline";
constexpr const wchar_t* kTable = L"QV_DMBaseline";
constexpr const wchar_t* kFileTable = L"ZUB_DMBaselineFile";

}  // namespace

BaseLine::BaseLine(int docRepoId, const std::wstring& name, const std::wstring& desc,
                   double createdTime, int id)
    : docRepoId_(docRepoId), id_(id), name_(name), desc_(desc), createdTime_(createdTime) {}

int BaseLine::CheckName() {
    // The name is a folder below R\baseline: an empty name, "..", or one with
    // a separator would make Delete remove some other folder.
    if (IsPlainName(name_)) return 0;
    RaiseUnknownError(Err::kInvalidName, InvalidNameText(name_));
    return Err::kInvalidName;
}

int BaseLine::Create() {
    return OperationScope::RunUnguarded(*this, [&] {
        RepoFiles files(*this);
        StageFolder stage;
        StageFolder copy;
        std::vector<NFS::NfsFileSum> sums;
        if (int rc = CreateDirOnServer(files, stage, copy, sums)) return rc;
        return Save(files, stage, copy, sums);
    });
}

int BaseLine::CreateDirOnServer(RepoFiles& files, StageFolder& stage, StageFolder& copy,
                                std::vector<NFS::NfsFileSum>& sums) {
    return OperationScope::Run(*this, kFile, L"DRM::BaseLine::CreateDirOnServer", [&] {
        if (int rc = CheckName()) return rc;
        if (IsReservedName(name_)) {
            RaiseUnknownError(Err::kInvalidName, InvalidNameText(name_));
            return Err::kInvalidName;
        }
        if (int rc = files.Open(docRepoId_)) return rc;
        // A folder of its own: parallel creations and one left by a crash
        // never meet here.
        if (int rc = stage.Create(files)) return rc;
        const std::wstring tree = stage.rel() + L"\\tree";
        // Stored files are never changed in place, so the baseline may share
        // the trunk's bytes instead of copying them.
        NFS::NfsShareCount how;
        storage_ = Storage{};
        int rc =
            files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                return cmd.shareFolder(server, port, files.Path(L"\\trunk"), files.Path(tree), sums,
                                       how);
            });
        FaultPoint::Hit(FaultPoint::kBaselineStaged);
        // The copy is held as well: once it carries the baseline's name, the
        // hold tells a running creation from one whose process died.
        StageFolder::Taken taken = StageFolder::Taken::Gone;
        if (rc == 0 && (rc = copy.Take(files, tree, taken)) == 0 &&
            taken != StageFolder::Taken::Held)
            rc = files.Refuse(Err::kBusy, Err::kBusyText);
        if (rc == 0) rc = CheckEveryFileCopied(files, files.Path(tree), sums);
        if (rc != 0) {
            stage.Remove(files);
            return rc;
        }
        storage_.linked = static_cast<long long>(how.linked);
        storage_.cloned = static_cast<long long>(how.cloned);
        storage_.copied = static_cast<long long>(how.copied);
        return 0;
    });
}

int BaseLine::CheckEveryFileCopied(RepoFiles& files, const std::wstring& copy,
                                   std::vector<NFS::NfsFileSum>& sums) {
    std::map<std::wstring, NFS::NfsFileSum*> copied;
    for (NFS::NfsFileSum& sum : sums) copied.emplace(sum.path, &sum);
    ZUBDB::QVParams cond(false);
    AddInt(cond, L"DocRepoId", docRepoId_);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->SelectRows(rs, L"QV_DMDoc", L"Name,Ext,phyUrl,ContentSha256,ContentBytes", cond,
                               kNone, kNone, kNone, 0, 0) != 0)
        return RecordDbError();
    for (; HasRow(rs); rs->MoveNext()) {
        const std::wstring rel =
            rs->GetStringAt(2) + L"\\" + rs->GetStringAt(0) + L"." + rs->GetStringAt(1);
        // The copy lists every file it holds: one not listed is not there.
        const auto found = copied.find(rel.substr(1));
        if (found == copied.end()) {
            const std::wstring shown = files.Path(L"\\trunk" + rel);
            RaiseUnknownError(Err::kFileMissing,
                              zub::FormatBounded(1024, Err::kFileMissingText, shown.c_str()));
            return Err::kFileMissing;
        }
        NFS::NfsFileSum& file = *found->second;
        const std::wstring recorded = rs->GetStringAt(3);
        const long long bytes = rs->GetInt64At(4, -1);
        // A shared file was not read: it is the file its row describes (of
        // the recorded size), and never changes. A current file that no
        // longer has the content its row records is not frozen as if it
        // were that version.
        if (file.sha256.empty() && !recorded.empty() &&
            (bytes < 0 || static_cast<long long>(file.bytes) == bytes))
            file.sha256 = recorded;
        if ((!recorded.empty() && !file.sha256.empty() && file.sha256 != recorded) ||
            (bytes >= 0 && static_cast<long long>(file.bytes) != bytes))
            return files.Refuse(NFS::NFS_E_CONTENT,
                                L"the content of " + files.Path(L"\\trunk" + rel) +
                                    L" does not match its recorded SHA-256 and size (recorded " +
                                    recorded + L", " + std::to_wstring(bytes) + L" bytes; read " +
                                    file.sha256 + L", " + std::to_wstring(file.bytes) + L" bytes)");
    }
    // Files without a recorded sum (no row names them, or an old row) are
    // read, where the server can sum them.
    for (NFS::NfsFileSum& file : sums) {
        if (!file.sha256.empty()) continue;
        std::uint64_t count = 0;
        const std::wstring path = copy + L"\\" + file.path;
        const long rc =
            files.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                return cmd.checksum(server, port, path, file.sha256, count);
            });
        if (rc == NFS::NFS_E_INVALID) continue;
        if (rc != 0) return files.Record();
        file.bytes = count;
    }
    return 0;
}

void BaseLine::RemoveFolder(RepoFiles& files, const std::wstring& folder) {
    files.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
        return cmd.rm(server, port, folder);
    });
}

int BaseLine::Save(RepoFiles& files, StageFolder& stage, StageFolder& copy,
                   const std::vector<NFS::NfsFileSum>& sums) {
    return OperationScope::Run(*this, kFile, L"DRM::BaseLine::Save", [&] {
        const std::wstring rel = L"\\baseline\\" + name_;
        const std::wstring folder = files.Path(rel);
        auto undo = [&](int rc) {
            Accessor()->RollbackTrans();
            copy.Release();
            stage.Remove(files);
            return rc;
        };
        ZUBDB::QVParams values(false);
        AddInt(values, L"DocRepoId", docRepoId_);
        AddExpr(values, L"BaseLineCreateTime", L"getdate()");
        AddText(values, L"BaseLineInfo", desc_);
        AddText(values, L"name", name_);
        if (Accessor()->BeginTrans() != 0) return undo(RecordDbError());
        PendingUnit unit(Accessor());
        if (Accessor()->InsertRow(kTable, values, kNone, kNone) != 0) {
            const long number = Accessor()->errNumber();
            if (number == 2067 || number == 1555) return undo(RefuseTaken());
            return undo(RecordDbError());
        }
        // Taken now: the file rows below are inserts too.
        const long long inserted = Accessor()->LastInsertId();
        // The files' sums commit with the row, or neither does.
        if (int rc = InsertFileSums(inserted, sums)) return undo(rc);
        FaultPoint::Hit(FaultPoint::kBaselineSumsRecorded);
        // The rename never replaces. A folder of this name without a row
        // (the insert above went through) that no process holds was left by
        // a creation whose process died before its commit: it is undone. One
        // still held belongs to a creation that is running.
        auto name = [&] {
            return files.Try(
                [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.renameFolder(server, port, files.Path(copy.rel()), folder);
                });
        };
        long moved = name();
        if (moved == NFS::NFS_E_EXISTS) {
            StageFolder left;
            StageFolder::Taken taken = StageFolder::Taken::Gone;
            if (int rc = left.Take(files, rel, taken)) return undo(rc);
            if (taken != StageFolder::Taken::Held) return undo(RefuseTaken());
            left.Remove(files);
            moved = name();
        }
        if (moved == NFS::NFS_E_EXISTS) return undo(RefuseTaken());
        if (moved != 0) return undo(files.Record());
        FaultPoint::Hit(FaultPoint::kBaselinePublished);
        if (Accessor()->CommitTrans() != 0) {
            const int rc = RollBackAndRecord();
            RemoveFolder(files, folder);
            copy.Release();
            stage.Remove(files);
            return rc;
        }
        copy.Release();
        stage.Remove(files);

        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", docRepoId_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kTable, L"max(BaseLineId)", cond, kNone, kNone, kNone, 0,
                                   0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kBaselineEmpty, Err::kBaselineEmptyText);
            return Err::kBaselineEmpty;
        }
        id_ = static_cast<int>(inserted > 0 ? inserted : rs->GetIntAt(0));
        return 0;
    });
}

int BaseLine::InsertFileSums(long long baseLineId, const std::vector<NFS::NfsFileSum>& sums) {
    for (const NFS::NfsFileSum& sum : sums) {
        ZUBDB::QVParams values(false);
        AddInt(values, L"BaseLineId", baseLineId);
        AddText(values, L"Path", sum.path);
        AddText(values, L"ContentSha256", sum.sha256);
        AddInt(values, L"ContentBytes", static_cast<long long>(sum.bytes));
        if (Accessor()->InsertRow(kFileTable, values, kNone, kNone) != 0) return RecordDbError();
    }
    return 0;
}

int BaseLine::ReadFileSums(RepoFiles& /*files*/, std::vector<NFS::NfsFileSum>& sums) {
    sums.clear();
    ZUBDB::QVParams params(false);
    AddInt(params, L"DocRepoId", docRepoId_);
    AddText(params, L"name", name_);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->ExecuteSql(rs,
                               L"select f.Path, f.ContentSha256, f.ContentBytes from "
                               L"ZUB_DMBaselineFile f join QV_DMBaseline b on b.BaseLineId = "
                               L"f.BaseLineId where b.DocRepoId = ? and b.name = ?",
                               params, kNone, 0, 0) != 0)
        return RecordDbError();
    for (; HasRow(rs); rs->MoveNext()) {
        NFS::NfsFileSum sum;
        sum.path = rs->GetStringAt(0);
        sum.sha256 = rs->GetStringAt(1);
        sum.bytes = static_cast<std::uint64_t>(rs->GetInt64At(2, 0));
        sums.push_back(std::move(sum));
    }
    return 0;
}

int BaseLine::RefuseTaken() {
    RaiseUnknownError(Err::kNameTaken,
                      zub::FormatBounded(1024, Err::kNameTakenText, name_.c_str()));
    return Err::kNameTaken;
}

int BaseLine::Delete() {
    return OperationScope::Run(*this, kFile, L"DRM::BaseLine::Delete", [&] {
        if (int rc = CheckName()) return rc;
        DocRepo repo;
        repo.Connect(ConnState(), L"");
        if (repo.Read(docRepoId_) != 0) {
            SetErr(repo.ErrNumber(), repo.ErrDesc(), L"", L"", 0);
            return static_cast<int>(repo.ErrNumber());
        }
        RepoFiles files(*this);
        files.OpenAt(repo.nfsServer(), repo.nfsPort(), repo.nfsRootDir());
        const std::wstring folder = files.Path(L"\\baseline\\" + name_);
        auto remove = [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            return cmd.rm(server, port, folder);
        };
        const long rc = files.Try(remove);
        if (rc != 0) {
            // A folder that is already gone while the row still names it (an
            // earlier Delete whose row removal failed) counts as removed, but
            // only under a root that is there: a missing root answers "not
            // found" for every path.
            if (rc != NFS::NFS_E_NOT_FOUND) return files.Record();
            bool names = false;
            if (int failed = RowNamesThisFolder(names)) return failed;
            if (!names) return files.Record();
            if (int failed = files.ProbeRootBy(folder)) return failed;
            if (int failed = files.Run(remove)) return failed;
        }

        ZUBDB::QVParams cond(false);
        AddInt(cond, L"BaseLineId", id_);
        if (Accessor()->DeleteRows(kTable, cond, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int BaseLine::RowNamesThisFolder(bool& names) {
    names = false;
    ZUBDB::QVParams cond(false);
    AddInt(cond, L"BaseLineId", id_);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->SelectRows(rs, kTable, L"DocRepoId,name", cond, kNone, kNone, kNone, 0, 0) != 0)
        return RecordDbError();
    names = HasRow(rs) && rs->GetIntAt(0) == docRepoId_ && rs->GetStringAt(1) == name_;
    return 0;
}

int BaseLine::DownLoad(const std::wstring& localDir) {
    return OperationScope::Run(*this, kFile, L"DRM::BaseLine::DownLoad", [&] {
        if (int rc = CheckName()) return rc;
        RepoFiles files(*this);
        if (int rc = files.Open(docRepoId_)) return rc;
        // Each file is checked against its recorded sum and size as it streams.
        std::vector<NFS::NfsFileSum> sums;
        if (int rc = ReadFileSums(files, sums)) return rc;
        return files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            std::uint64_t count = 0;
            const std::wstring folder = files.Path(L"\\baseline\\" + name_);
            if (sums.empty())
                return cmd.downLoadFolder(server, port, folder, localDir, count, false);
            return cmd.downLoadFolder(server, port, folder, localDir, count, false, sums);
        });
    });
}

}  // namespace DRM
