#include "docvault/baseline.h"

#include <cstdint>
#include <memory>

#include "docvault/doc.h"
#include "docvault/docrepo.h"
#include "docvault/errors.h"
#include "docvault/fileserverlogin.h"
#include "docvault/operation.h"
#include "internal/plainname.h"
#include "internal/repolocation.h"
#include "internal/rowparams.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/nfserrors.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/baseline";
constexpr const wchar_t* kTable = L"QV_DMBaseline";

}  // namespace

BaseLine::BaseLine(int docRepoId, const std::wstring& name, const std::wstring& desc,
                   double createdTime, int id)
    : docRepoId_(docRepoId), id_(id), name_(name), desc_(desc), createdTime_(createdTime) {}

int BaseLine::CheckName() {
    // The name is a folder below R\baseline: an empty name, "..", or one with
    // a separator would make Delete remove some other folder.
    if (IsPlainName(name_)) return 0;
    RaiseUnknownError(DocErr::kInvalidName, InvalidNameText(name_));
    return DocErr::kInvalidName;
}

int BaseLine::Create() {
    return OperationScope::RunUnguarded(*this, [&] {
        RepoLocation made;
        if (int rc = CreateDirOnServer(made)) return rc;
        bool stored = false;
        const int rc = Save(stored);
        if (rc != 0 && !stored) {
            // Without its row nobody can list or delete the folder, and it
            // would block creating a baseline of the same name again. The
            // clean-up is best effort: the status stays the one of Save.
            try {
                FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), made.server,
                                                   made.port);
                NFS::CNFS_Cmd::Instance()->rm(made.server, made.port,
                                              made.dir + L"\\baseline\\" + name_);
            } catch (...) {}
        }
        return rc;
    });
}

int BaseLine::CreateDirOnServer(RepoLocation& made) {
    return OperationScope::Run(*this, kFile, L"DRM::BaseLine::CreateDirOnServer", __LINE__, [&] {
        if (int rc = CheckName()) return rc;
        if (int rc = made.Lookup(*this, docRepoId_)) return rc;
        const std::wstring parent = made.dir + L"\\baseline";
        NFS::CNFS_Cmd& cmd = *NFS::CNFS_Cmd::Instance();

        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), made.server, made.port);
        if (cmd.copyFolder(made.server, made.port, made.dir + L"\\trunk", parent) != 0)
            return RecordNfsError();

        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), made.server, made.port);
        if (cmd.renameFolder(made.server, made.port, parent + L"\\trunk", parent + L"\\" + name_) !=
            0) {
            const int rc = RecordNfsError();
            // A copy left as R\baseline\trunk would make every later creation
            // fail, since the folder copy never merges into an existing one.
            cmd.rm(made.server, made.port, parent + L"\\trunk");
            return rc;
        }
        return 0;
    });
}

int BaseLine::Save(bool& stored) {
    stored = false;
    return OperationScope::Run(*this, kFile, L"DRM::BaseLine::Save", __LINE__, [&] {
        ZUBDB::QVParams values(false);
        values.AddParam(0, L"DocRepoId", docRepoId_, false, kEq);
        values.AddParam(1, L"BaseLineCreateTime", L"getdate()", true, false, kEq);
        values.AddParam(2, L"BaseLineInfo", desc_, false, false, kEq);
        values.AddParam(3, L"name", name_, false, false, kEq);
        if (Accessor()->InsertRow(kTable, values, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        stored = true;

        values.Clear();
        values.AddParam(0, L"DocRepoId", docRepoId_, false, kEq);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kTable, L"max(BaseLineId)", values, kNone, kNone, kNone, 0,
                                   0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kBaselineEmpty, Err::kBaselineEmptyText);
            return Err::kBaselineEmpty;
        }
        id_ = static_cast<int>(InsertedId(rs->GetIntAt(0)));
        return 0;
    });
}

int BaseLine::Delete() {
    return OperationScope::Run(*this, kFile, L"DRM::BaseLine::Delete", __LINE__, [&] {
        if (int rc = CheckName()) return rc;
        DocRepo repo;
        repo.Connect(ConnState(), L"");
        if (repo.Read(docRepoId_) != 0) {
            SetErr(repo.ErrNumber(), repo.ErrDesc(), L"", L"", 0);
            return static_cast<int>(repo.ErrNumber());
        }
        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), repo.nfsServer(),
                                           repo.nfsPort());
        NFS::CNFS_Cmd& cmd = *NFS::CNFS_Cmd::Instance();
        if (cmd.rm(repo.nfsServer(), static_cast<unsigned short>(repo.nfsPort()),
                   repo.nfsRootDir() + L"\\baseline\\" + name_) != 0) {
            // A folder that is already gone while the row still names it (an
            // earlier Delete whose row removal failed) counts as removed;
            // otherwise that row could never be deleted.
            if (cmd.GetErrorNumber() != NFS::NFS_E_NOT_FOUND) return RecordNfsError();
            bool names = false;
            if (int rc = RowNamesThisFolder(names)) return rc;
            if (!names) return RecordNfsError();
        }

        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"BaseLineId", id_, false, kEq);
        if (Accessor()->DeleteRows(kTable, cond, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int BaseLine::RowNamesThisFolder(bool& names) {
    names = false;
    ZUBDB::QVParams cond(false);
    cond.AddParam(0, L"BaseLineId", id_, false, kEq);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->SelectRows(rs, kTable, L"DocRepoId,name", cond, kNone, kNone, kNone, 0, 0) != 0)
        return RecordDbError();
    names = HasRow(rs) && rs->GetIntAt(0) == docRepoId_ && rs->GetStringAt(1) == name_;
    return 0;
}

int BaseLine::DownLoad(const std::wstring& localDir) {
    return OperationScope::Run(*this, kFile, L"DRM::BaseLine::DownLoad", __LINE__, [&] {
        if (int rc = CheckName()) return rc;
        RepoLocation loc;
        if (int rc = loc.Lookup(*this, docRepoId_)) return rc;
        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), loc.server, loc.port);
        std::uint64_t count = 0;
        if (NFS::CNFS_Cmd::Instance()->downLoadFolder(loc.server, loc.port,
                                                      loc.dir + L"\\baseline\\" + name_, localDir,
                                                      count, false) != 0)
            return RecordNfsError();
        return 0;
    });
}

}  // namespace DRM
