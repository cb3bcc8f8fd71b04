#include "docvault/docrepo.h"

#include <cmath>
#include <cstdint>
#include <memory>

#include "docvault/doc.h"
#include "docvault/errors.h"
#include "docvault/fileserverlogin.h"
#include "docvault/operation.h"
#include "docvault/pendingunit.h"
#include "internal/plainname.h"
#include "internal/rowparams.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/nfserrors.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/docrepo";
constexpr const wchar_t* kRepoTable = L"QV_DMRepo";

// Separators are '\'; a leading pair (a share) and a closing one are fine.
bool IsPlainRootText(const std::wstring& dir) {
    if (dir.empty() || dir.find(L'/') != std::wstring::npos) return false;
    if (dir.find(L"\\\\", 1) != std::wstring::npos) return false;
    std::size_t start = 0;
    while (start <= dir.size()) {
        std::size_t end = dir.find(L'\\', start);
        if (end == std::wstring::npos) end = dir.size();
        const std::wstring part = dir.substr(start, end - start);
        if (part == L"." || part == L"..") return false;
        start = end + 1;
    }
    return true;
}

std::wstring FoldDriveLetter(std::wstring dir) {
    if (dir.size() >= 2 && dir[1] == L':' && dir[0] >= L'a' && dir[0] <= L'z')
        dir[0] = static_cast<wchar_t>(dir[0] - L'a' + L'A');
    return dir;
}

}  // namespace

DocRepo::DocRepo() = default;

DocRepo::DocRepo(int id, std::wstring name, std::wstring nfsServer, int port, std::wstring rootDir,
                 int versionStraId)
    : id_(id),
      name_(std::move(name)),
      nfsServer_(std::move(nfsServer)),
      nfsPort_(port),
      nfsRootDir_(std::move(rootDir)),
      versionStraId_(versionStraId) {
    SetKey(name_);
}

template <class Call>
int DocRepo::OnFileServer(Call&& call) {
    // The password comes from the database we are connected to; the login
    // goes to the repository's own file server.
    FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), nfsServer_, nfsPort_);
    NFS::CNFS_Cmd& cmd = *NFS::CNFS_Cmd::Instance();
    const int rc = call(cmd, nfsServer_, static_cast<unsigned short>(nfsPort_));
    return rc == 0 ? 0 : RecordNfsError();
}

int DocRepo::Create() {
    // The step that is running decides the result when it throws or finds no
    // connection (the cause is recorded on the object either way).
    int step = kOverlaps;
    const int rc = OperationScope::Run(*this, kFile, L"DRM::DocRepo::Create", __LINE__, [&] {
        if (CheckExist() != 0) return kOverlaps;
        step = kDirFailed;
        if (CreateDirOnServer() != 0) return kDirFailed;
        step = kRowFailed;
        if (Save() != 0) return kRowFailed;
        // Without a permission row the creator would not even see the new
        // repository in the per-user listing.
        if (creator_ != 0 && GrantCreatorRights() != 0) return kRowFailed;
        return kCreated;
    });
    if (rc >= kCreated && rc <= kRowFailed) return rc;
    return step;
}

int DocRepo::CheckExist() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::CheckExist", __LINE__, [&] {
        // An empty root is the server's root: it holds every other repository,
        // and deleting it would wipe them all. A "." segment, a doubled or a
        // forward separator name an existing tree in words the text
        // comparison below cannot see through, so two repositories could
        // share one tree and the deletion of one take the other's files.
        if (!IsPlainRootText(nfsRootDir_)) {
            RaiseUnknownError(DocErr::kInvalidName, InvalidNameText(nfsRootDir_));
            return 1;
        }
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"Server", nfsServer_, false, false, kEq);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kRepoTable, L"Directory", cond, kNone, kNone, kNone, 0, 0) !=
            0)
            return RecordDbError();
        // The file server does not tell d: from D:, so neither may the check.
        const std::wstring root = FoldDriveLetter(nfsRootDir_);
        for (; HasRow(rs); rs->MoveNext()) {
            const std::wstring dir = FoldDriveLetter(rs->GetStringAt(0));
            if (dir.find(root) != std::wstring::npos || root.find(dir) != std::wstring::npos)
                return 1;
        }
        return 0;
    });
}

int DocRepo::CreateDirOnServer() {
    return OperationScope::RunUnguarded(*this, [&] {
        for (const wchar_t* sub : {L"", L"\\trunk", L"\\baseline", L"\\history"}) {
            const std::wstring path = nfsRootDir_ + sub;
            const int rc = OnFileServer(
                [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.mk(server, port, path, false);
                });
            if (rc != 0) return rc;
        }
        return 0;
    });
}

int DocRepo::Save() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::Save", __LINE__, [&] {
        ZUBDB::QVParams values(false);
        values.AddParam(0, L"Name", name_, false, false, kEq);
        values.AddParam(1, L"Server", nfsServer_, false, false, kEq);
        values.AddParam(2, L"Port", nfsPort_, false, kEq);
        values.AddParam(3, L"Directory", nfsRootDir_, false, false, kEq);
        values.AddParam(4, L"CreatorId", creator_, false, kEq);
        values.AddParam(5, L"CreatorName", GetUserNameW(creator_), false, false, kEq);
        values.AddParam(6, L"CreateTime", L"getdate()", true, false, kEq);
        values.AddParam(7, L"VersionStraId", versionStraId_, false, kEq);
        if (Accessor()->InsertRow(kRepoTable, values, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();

        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kRepoTable, L"max(DocRepoId)", none, kNone, kNone, kNone, 0,
                                   0) != 0)
            return RecordDbError();
        if (HasRow(rs)) id_ = static_cast<int>(InsertedId(rs->GetIntAt(0)));
        return 0;
    });
}

int DocRepo::GrantCreatorRights() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::GrantCreatorRights", __LINE__, [&] {
        ZUBDB::QVParams values(false);
        values.AddParam(0, L"DocRepoId", id_, false, kEq);
        values.AddParam(1, L"UserOrRole", 0, false, kEq);
        values.AddParam(2, L"UserId", creator_, false, kEq);
        values.AddParam(3, L"RoleId", 0, false, kEq);
        values.AddParam(4, L"[Read]", 1, false, kEq);
        values.AddParam(5, L"Write", 1, false, kEq);
        values.AddParam(6, L"Manage", 1, false, kEq);
        if (Accessor()->InsertRow(L"QV_DMAuth", values, kNone, kNone) != 0) return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

std::wstring DocRepo::GetUserNameW(int userId) {
    std::wstring name;
    OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"UserId", userId, false, kEq);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_User", L"UserName", cond, kNone, kNone, kNone, 0, 0) !=
            0)
            return RecordDbError();
        if (HasRow(rs)) name = rs->GetStringAt(0);
        return 0;
    });
    return name;
}

int DocRepo::Read(int id) {
    return OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"DocRepoId", id, false, kEq);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(
                rs, kRepoTable,
                L"DocRepoId,VersionStraId,[Name],[Server],Port,Directory,CreatorId,CreatorName,"
                L"CreateTime",
                cond, kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        if (!HasRow(rs)) {
            RaiseUnknownError(Err::kRepoMissing, Err::kRepoMissingText);
            return Err::kRepoMissing;
        }
        id_ = id;
        name_ = rs->GetStringAt(2);
        nfsServer_ = rs->GetStringAt(3);
        nfsPort_ = static_cast<int>(rs->GetIntAt(4));
        nfsRootDir_ = rs->GetStringAt(5);
        creator_ = static_cast<int>(rs->GetIntAt(6));
        creatorName_ = rs->GetStringAt(7);
        createdTime_ = rs->GetDoubleAt(8);
        versionStraId_ = static_cast<int>(rs->GetIntAt(1));
        return 0;
    });
}

int DocRepo::updateBaseInfo() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::updateBaseInfo", __LINE__, [&] {
        ZUBDB::QVParams values(false);
        values.AddParam(0, L"Name", name_, false, false, kEq);
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"DocRepoId", id_, false, kEq);
        if (Accessor()->UpdateRows(kRepoTable, values, cond, kNone, kNone) != 0)
            return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int DocRepo::SaveVersionStra() {
    return OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams values(false);
        values.AddParam(0, L"VersionStraId", versionStraId_, false, kEq);
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"DocRepoId", id_, false, kEq);
        if (Accessor()->UpdateRows(kRepoTable, values, cond, kNone, kNone) != 0)
            return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int DocRepo::Delete() {
    return OperationScope::RunUnguarded(*this, [&] {
        // An object that was never read or created has no directory: removing
        // "" would remove the server's root with every repository on it.
        if (nfsRootDir_.empty()) {
            RaiseUnknownError(Err::kRepoMissing, Err::kRepoMissingText);
            return Err::kRepoMissing;
        }
        FileServerLogin::Get().EnsureLogin(Server(), Port(), Token(), nfsServer_, nfsPort_);
        NFS::CNFS_Cmd& cmd = *NFS::CNFS_Cmd::Instance();
        if (cmd.rm(nfsServer_, static_cast<unsigned short>(nfsPort_), nfsRootDir_) != 0) {
            // Otherwise a Delete whose row removal failed after the tree went
            // could never be finished. The row must name this very tree, so
            // that an object pointing elsewhere removes no one's rows.
            if (cmd.GetErrorNumber() != NFS::NFS_E_NOT_FOUND) return RecordNfsError();
            bool names = false;
            if (int rc = RowNamesThisTree(names)) return rc;
            if (!names) return RecordNfsError();
        }
        return Remove();
    });
}

int DocRepo::RowNamesThisTree(bool& names) {
    names = false;
    ZUBDB::QVParams cond(false);
    cond.AddParam(0, L"DocRepoId", id_, false, kEq);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->SelectRows(rs, kRepoTable, L"Server,Port,Directory", cond, kNone, kNone, kNone,
                               0, 0) != 0)
        return RecordDbError();
    names = HasRow(rs) && rs->GetStringAt(0) == nfsServer_ && rs->GetIntAt(1) == nfsPort_ &&
            rs->GetStringAt(2) == nfsRootDir_;
    return 0;
}

int DocRepo::Remove() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::Remove", __LINE__, [&] {
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"DocRepoId", id_, false, kEq);
        PendingUnit unit(Accessor());
        // History rows stay: they outlive the repository.
        if (Accessor()->DeleteRows(L"QV_DMBaseline", cond, kNone, kNone) != 0)
            return RecordDbError();
        for (const wchar_t* table : {L"QV_DMDoc", L"QV_DMAuth", kRepoTable}) {
            if (Accessor()->DeleteRows(table, cond, kNone, kNone) != 0) return RollBackAndRecord();
        }
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int DocRepo::BackUp(const std::wstring& localDir) {
    return OperationScope::RunUnguarded(*this, [&] {
        return OnFileServer(
            [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                std::uint64_t count = 0;
                return cmd.downLoadFolder(server, port, nfsRootDir_ + L"\\trunk", localDir, count,
                                          false);
            });
    });
}

std::wstring DocRepo::GetNextMainVersion() {
    std::wstring version;
    OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams cond(false);
        cond.AddParam(0, L"DocRepoId", id_, false, kEq);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMDoc",
                                   L"max(cast(CurrentVersion as numeric(8,4))) as maxVersion", cond,
                                   kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        const double highest = HasRow(rs) ? rs->GetDoubleAt(0, 0.0) : 0.0;
        // Wide enough for any double written with ten decimals.
        version = zub::FormatBounded(400, L"%.10f", std::ceil(highest));
        return 0;
    });
    return version;
}

}  // namespace DRM
