#include "docvault/docrepo.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>
#include <utility>

#include "dbcore/embeddedstore.h"
#include "docvault/doc.h"
#include "docvault/errors.h"
#include "internal/fileserverlogin.h"
#include "internal/operation.h"
#include "internal/pendingunit.h"
#include "internal/plainname.h"
#include "internal/repofiles.h"
#include "internal/repoplace.h"
#include "internal/rowparams.h"
#include "internal/serverpath.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/nfserrors.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/docrepo";
constexpr const wchar_t* kRepoTable = L"QV_DMRepo";

// Separators are '\'; a leading pair (a share) and a closing one are fine.
// Moves the tree `from` into `to`, replacing files of the same name.
void MoveInto(const std::filesystem::path& from, const std::filesystem::path& to,
              std::error_code& ec) {
    namespace fs = std::filesystem;
    if (!fs::exists(from, ec)) {
        // Nothing came down (an empty trunk): the target is just made.
        fs::create_directories(to, ec);
        return;
    }
    if (!fs::exists(to, ec)) {
        fs::create_directories(to.parent_path(), ec);
        fs::rename(from, to, ec);
        return;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(from, ec)) {
        const fs::path dest = to / entry.path().filename();
        if (entry.is_directory(ec) && fs::is_directory(dest, ec))
            MoveInto(entry.path(), dest, ec);
        else
            fs::rename(entry.path(), dest, ec);
        if (ec) return;
    }
}

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

int DocRepo::Create() {
    // The step that is running decides the result when it throws or finds no
    // connection (the cause is recorded on the object either way).
    int step = kOverlaps;
    const int rc = OperationScope::Run(*this, kFile, L"DRM::DocRepo::Create", [&] {
        // The check and the insert are one write transaction, so two clients
        // cannot both find the tree free.
        if (Accessor()->BeginTrans() != 0) {
            RecordDbError();
            return kOverlaps;
        }
        PendingUnit unit(Accessor());
        auto fail = [&](int result) {
            Accessor()->RollbackTrans();
            return result;
        };
        if (CheckExist() != 0) return fail(kOverlaps);
        step = kDirFailed;
        if (CreateDirOnServer() != 0) return fail(kDirFailed);
        step = kRowFailed;
        if (Save() != 0) return fail(kRowFailed);
        // Without a permission row the creator would not even see the new
        // repository in the per-user listing.
        if (creator_ != 0 && GrantCreatorRights() != 0) return fail(kRowFailed);
        if (Accessor()->CommitTrans() != 0) {
            RollBackAndRecord();
            return kRowFailed;
        }
        return kCreated;
    });
    if (rc >= kCreated && rc <= kRowFailed) return rc;
    return step;
}

int DocRepo::CheckExist() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::CheckExist", [&] {
        // An empty root is the server's root: it holds every other repository,
        // and deleting it would wipe them all. A "." segment, a doubled or a
        // forward separator name an existing tree in words a plain text
        // comparison cannot see through.
        if (!IsPlainRootText(nfsRootDir_) || HasControlChar(nfsRootDir_)) {
            RaiseUnknownError(Err::kInvalidName, InvalidNameText(nfsRootDir_));
            return 1;
        }
        if (HasControlChar(name_)) {
            RaiseUnknownError(Err::kInvalidName, InvalidNameText(name_));
            return 1;
        }
        // Every row is read: one file server can be written in several ways
        // ("file:files", "file:./files/", the absolute folder, a link to it),
        // and one server's tree can lie inside another server's root.
        ZUBDB::QVParams none(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, kRepoTable, L"Name,Server,Port,Directory", none, kNone,
                                   kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        const RepoPlace mine = RepoPlace::Of(Server(), nfsServer_, nfsPort_, nfsRootDir_);
        for (; HasRow(rs); rs->MoveNext()) {
            if (rs->GetStringAt(0) == name_) {
                RaiseUnknownError(Err::kNameTaken,
                                  zub::FormatBounded(1024, Err::kNameTakenText, name_.c_str()));
                return 1;
            }
            if (mine.Overlaps(RepoPlace::Of(Server(), rs->GetStringAt(1), rs->GetIntAt(2),
                                            rs->GetStringAt(3))))
                return 1;
        }
        return 0;
    });
}

int DocRepo::CreateDirOnServer() {
    return OperationScope::RunUnguarded(*this, [&] {
        RepoFiles files(*this);
        files.OpenAt(nfsServer_, nfsPort_, nfsRootDir_);
        for (const wchar_t* sub : {L"", L"\\trunk", L"\\baseline", L"\\history"}) {
            const std::wstring path = nfsRootDir_ + sub;
            const int rc =
                files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.mk(server, port, path, false);
                });
            if (rc != 0) return rc;
        }
        return 0;
    });
}

int DocRepo::Save() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::Save", [&] {
        ZUBDB::QVParams values(false);
        AddText(values, L"Name", name_);
        AddText(values, L"Server", nfsServer_);
        AddInt(values, L"Port", nfsPort_);
        AddText(values, L"Directory", nfsRootDir_);
        AddInt(values, L"CreatorId", creator_);
        AddText(values, L"CreatorName", GetUserNameW(creator_));
        AddExpr(values, L"CreateTime", L"getdate()");
        AddInt(values, L"VersionStraId", versionStraId_);
        if (Accessor()->InsertRow(kRepoTable, values, kNone, kNone) != 0) {
            const long number = Accessor()->errNumber();
            if (number == 2067 || number == 1555) {
                RaiseUnknownError(Err::kNameTaken,
                                  zub::FormatBounded(1024, Err::kNameTakenText, name_.c_str()));
                return Err::kNameTaken;
            }
            return RecordDbError();
        }
        // Create's transaction commits the row with the check it passed.

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
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::GrantCreatorRights", [&] {
        ZUBDB::QVParams values(false);
        AddInt(values, L"DocRepoId", id_);
        AddInt(values, L"UserOrRole", 0);
        AddInt(values, L"UserId", creator_);
        AddInt(values, L"RoleId", 0);
        AddInt(values, L"[Read]", 1);
        AddInt(values, L"Write", 1);
        AddInt(values, L"Manage", 1);
        if (Accessor()->InsertRow(L"QV_DMAuth", values, kNone, kNone) != 0) return RecordDbError();
        return 0;
    });
}

std::wstring DocRepo::GetUserNameW(int userId) {
    std::wstring name;
    OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"UserId", userId);
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
        AddInt(cond, L"DocRepoId", id);
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
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::updateBaseInfo", [&] {
        // Names reach every user's terminal, as at creation.
        if (HasControlChar(name_)) {
            RaiseUnknownError(Err::kInvalidName, InvalidNameText(name_));
            return Err::kInvalidName;
        }
        ZUBDB::QVParams values(false);
        AddText(values, L"Name", name_);
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", id_);
        if (Accessor()->UpdateRows(kRepoTable, values, cond, kNone, kNone) != 0)
            return RecordDbError();
        if (Accessor()->CommitTrans() != 0) return RollBackAndRecord();
        return 0;
    });
}

int DocRepo::SaveVersionStra() {
    return OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams values(false);
        AddInt(values, L"VersionStraId", versionStraId_);
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", id_);
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
        if (int shared = RefuseSharedTree()) return shared;
        RepoFiles files(*this);
        files.OpenAt(nfsServer_, nfsPort_, nfsRootDir_);
        auto remove = [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            return cmd.rm(server, port, nfsRootDir_);
        };
        const long rc = files.Try(remove);
        if (rc != 0) {
            // Otherwise a Delete whose row removal failed after the tree went
            // could never be finished. The row must name this very tree, so
            // that an object pointing elsewhere removes no one's rows; and the
            // server's root must be there, since a missing root answers "not
            // found" for every path.
            if (rc != NFS::NFS_E_NOT_FOUND) return files.Record();
            bool names = false;
            if (int failed = RowNamesThisTree(names)) return failed;
            if (!names) return files.Record();
            if (int failed = files.ProbeRootBy(nfsRootDir_)) return failed;
            if (int failed = files.Run(remove)) return failed;
        }
        return Remove();
    });
}

int DocRepo::RefuseSharedTree() {
    // Removing a tree that another row reaches (by another spelling, or as a
    // tree inside or around this one) would delete that repository's files.
    ZUBDB::QVParams none(false);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->SelectRows(rs, kRepoTable, L"DocRepoId,Name,Server,Port,Directory", none, kNone,
                               kNone, kNone, 0, 0) != 0)
        return RecordDbError();
    const RepoPlace mine = RepoPlace::Of(Server(), nfsServer_, nfsPort_, nfsRootDir_);
    for (; HasRow(rs); rs->MoveNext()) {
        if (rs->GetIntAt(0) == id_) continue;
        if (!mine.Shares(
                RepoPlace::Of(Server(), rs->GetStringAt(2), rs->GetIntAt(3), rs->GetStringAt(4))))
            continue;
        const std::wstring where = mine.tree.empty() ? nfsRootDir_ : mine.tree;
        RaiseUnknownError(Err::kTreeShared,
                          zub::FormatBounded(2048, Err::kTreeSharedText, where.c_str(),
                                             rs->GetStringAt(1).c_str()));
        return Err::kTreeShared;
    }
    return 0;
}

int DocRepo::RowNamesThisTree(bool& names) {
    names = false;
    ZUBDB::QVParams cond(false);
    AddInt(cond, L"DocRepoId", id_);
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (Accessor()->SelectRows(rs, kRepoTable, L"Server,Port,Directory", cond, kNone, kNone, kNone,
                               0, 0) != 0)
        return RecordDbError();
    names = HasRow(rs) && rs->GetStringAt(0) == nfsServer_ && rs->GetIntAt(1) == nfsPort_ &&
            rs->GetStringAt(2) == nfsRootDir_;
    return 0;
}

int DocRepo::Remove() {
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::Remove", [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", id_);
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

int DocRepo::GetDiskUse(DiskUse& use) {
    use = DiskUse{};
    return OperationScope::Run(*this, kFile, L"DRM::DocRepo::GetDiskUse", [&] {
        RepoFiles files(*this);
        files.OpenAt(nfsServer_, nfsPort_, nfsRootDir_);
        std::vector<NFS::NfsEntry> entries;
        if (int rc =
                files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.listFolder(server, port, files.Path(L""), entries);
                }))
            return rc;
        std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
        for (const NFS::NfsEntry& e : entries) {
            if (e.folder) continue;
            const auto bytes = static_cast<long long>(e.bytes);
            ++use.files;
            use.full += bytes;
            if (e.node == 0 || seen.emplace(e.device, e.node).second) use.stored += bytes;
        }
        return 0;
    });
}

int DocRepo::BackUp(const std::wstring& localDir) {
    return OperationScope::RunUnguarded(*this, [&] {
        RepoFiles files(*this);
        files.OpenAt(nfsServer_, nfsPort_, nfsRootDir_);
        // A copy that silently lacks a document is no backup.
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", id_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMDoc", L"Name,Ext,phyUrl", cond, kNone, kNone, kNone,
                                   0, 0) != 0)
            return RecordDbError();
        for (; HasRow(rs); rs->MoveNext()) {
            const std::wstring file = files.Path(L"\\trunk" + rs->GetStringAt(2) + L"\\" +
                                                 rs->GetStringAt(0) + L"." + rs->GetStringAt(1));
            bool there = false;
            if (int rc = files.FileExists(file, there)) return rc;
            if (!there) {
                RaiseUnknownError(Err::kFileMissing,
                                  zub::FormatBounded(1024, Err::kFileMissingText, file.c_str()));
                return Err::kFileMissing;
            }
        }
        rs.reset();
        return CopyTrunkInto(files, localDir);
    });
}

int DocRepo::CopyTrunkInto(RepoFiles& files, const std::wstring& localDir) {
    namespace fs = std::filesystem;
    fs::path target(zub::WideToUtf8(localDir));
    if (!target.has_filename() && target.has_parent_path()) target = target.parent_path();
    const fs::path partial =
        target.parent_path() /
        ("." + target.filename().string() + ".zub-partial-" + zub::WideToUtf8(StagingNonce()));
    std::error_code ec;
    const int rc =
        files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
            std::uint64_t count = 0;
            return cmd.downLoadFolder(server, port, files.Path(L"\\trunk"),
                                      zub::Utf8ToWide(partial.string()), count, false);
        });
    if (rc == 0) MoveInto(partial, target, ec);
    fs::remove_all(partial, ec);
    if (rc != 0) return rc;
    if (ec) {
        RaiseUnknownError(NFS::NFS_E_IO, zub::Utf8ToWide(target.string() + ": " + ec.message()));
        return NFS::NFS_E_IO;
    }
    return 0;
}

std::wstring DocRepo::GetNextMainVersion() {
    std::wstring version;
    OperationScope::RunUnguarded(*this, [&] {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", id_);
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
