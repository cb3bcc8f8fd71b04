#include "docvault/repocheck.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <system_error>

#include "dbcore/cdbaccessor.h"
#include "dbcore/embeddedstore.h"
#include "docvault/doc.h"
#include "docvault/errors.h"
#include "internal/operation.h"
#include "internal/repofiles.h"
#include "internal/rowparams.h"
#include "internal/serverpath.h"
#include "internal/stagefolder.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace DRM {

namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kFile = L"src/repocheck";
constexpr const wchar_t* kTransferDebrisText = ZUB_N_(L"中断的传输留下的临时文件 (%lu 字节): %ls");

struct Repo {
    int id = 0;
    std::wstring server;
    long port = 0;
    std::wstring dir;
};

// The local folder behind a server folder of an embedded ("file:") server,
// resolved as that server resolves it; empty for other servers.
fs::path LocalFolder(const std::wstring& server, const std::wstring& folder) {
    if (server.size() < 5 || server.compare(0, 5, L"file:") != 0) return {};
    fs::path path(zub::WideToUtf8(server.substr(5)));
    for (const std::wstring& part : ServerPathParts(folder)) path /= zub::WideToUtf8(part);
    return path;
}

bool OlderThan(const fs::path& path, long seconds) {
    std::error_code ec;
    const auto written = fs::last_write_time(path, ec);
    if (ec) return false;
    return fs::file_time_type::clock::now() - written > std::chrono::seconds(seconds);
}

}  // namespace

class RepoCheck::Examiner {
public:
    Examiner(RepoCheck& bo, bool repair, std::vector<RepoFinding>& findings, long staleSeconds)
        : bo_(bo), repair_(repair), findings_(findings), stale_(staleSeconds) {}

    int Run(const Repo& repo) {
        repo_ = repo;
        files_ = std::make_unique<RepoFiles>(bo_);
        files_->OpenAt(repo.server, repo.port, repo.dir);
        if (const auto& refusal = files_->refusal()) {
            Add(RepoFinding::Kind::ForeignRoot, files_->Path(L""), ZUB_N_(L"%ls: %ls"),
                refusal->text.c_str());
            return 0;
        }
        if (int rc = Documents()) return rc;
        if (int rc = History()) return rc;
        if (int rc = Baselines()) return rc;
        Folders();
        if (int rc = Staging()) return rc;
        TransferDebris();
        return 0;
    }

private:
    // Every finding names the file it concerns: `format` ends in ": %ls",
    // the path, left out with its separator when there is none.
    template <class... Args>
    RepoFinding& Add(RepoFinding::Kind kind, std::wstring path, const wchar_t* format,
                     const Args&... args) {
        std::wstring text = zub::Format(format, args..., path.c_str());
        if (path.empty()) text.resize(text.size() - 2);
        RepoFinding finding;
        finding.kind = kind;
        finding.docRepoId = repo_.id;
        finding.path = std::move(path);
        finding.text = std::move(text);
        findings_.push_back(std::move(finding));
        return findings_.back();
    }

    int Documents() {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", repo_.id);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (bo_.Accessor()->SelectRows(
                rs, L"QV_DMDoc",
                L"DocId,Name,Ext,phyUrl,CurrentState,CurrentOperatorId,PendingFile,CurrentVersion",
                cond, kNone, kNone, kNone, 0, 0) != 0)
            return bo_.RecordDbError();
        struct Row {
            int id;
            std::wstring name, ext, phyUrl, pending, version;
            long state, holder;
        };
        std::vector<Row> rows;
        for (; HasRow(rs); rs->MoveNext())
            rows.push_back(Row{static_cast<int>(rs->GetIntAt(0)), rs->GetStringAt(1),
                               rs->GetStringAt(2), rs->GetStringAt(3), rs->GetStringAt(6),
                               rs->GetStringAt(7), rs->GetIntAt(4), rs->GetIntAt(5)});
        rs.reset();

        for (const Row& row : rows) {
            const std::wstring rel = L"\\trunk" + row.phyUrl + L"\\" + row.name + L"." + row.ext;
            tracked_.insert(rel);
            referenced_.insert(CanonicalServerPath(files_->Path(rel)));
            ids_.push_back(row.id);
            bool pending = !row.pending.empty();
            if (pending) {
                const std::size_t bar = row.pending.find(L'|');
                const std::size_t end = row.pending.find(L'|', bar + 1);
                if (bar != std::wstring::npos) {
                    const std::wstring staged = row.pending.substr(bar + 1, end - bar - 1);
                    staged_.insert(staged);
                    const std::wstring folder = StageFolder::FolderOf(staged);
                    if (!folder.empty()) stageFolders_.insert(folder);
                }
                const std::wstring kind = row.pending.substr(0, bar);
                RepoFinding& f =
                    Add(RepoFinding::Kind::InterruptedOperation, files_->Path(rel),
                        ZUB_N_(L"文档 %i 的操作未完成 (%ls): %ls"), row.id, kind.c_str());
                f.docId = row.id;
                f.version = row.version;
                if (repair_) {
                    Doc doc;
                    doc.Connect(bo_.ConnState(), L"");
                    doc.set_id(row.id);
                    doc.set_docRepoId(repo_.id);
                    doc.set_phyUrl(row.phyUrl);
                    f.repaired = doc.FinishPending(*files_) == 0;
                    if (!f.repaired)
                        f.text =
                            zub::Format(ZUB_N_(L"文档 %i 的操作未完成 (%ls): %ls: %ls"), row.id,
                                        kind.c_str(), f.path.c_str(), doc.ErrDesc().c_str());
                    pending = !f.repaired;
                    if (f.repaired && row.pending.rfind(L"delete", 0) == 0) continue;
                }
            }
            if (!pending) {
                bool there = false;
                if (files_->FileExists(files_->Path(rel), there) != 0) {
                    NotChecked(files_->Path(rel));
                } else if (!there) {
                    RepoFinding& f = Add(RepoFinding::Kind::DocFileMissing, files_->Path(rel),
                                         ZUB_N_(L"文档 %i 版本 %ls 的当前文件不存在: %ls"), row.id,
                                         row.version.c_str());
                    f.docId = row.id;
                    f.version = row.version;
                }
            }
            if (row.state == 1 && !UserExists(row.holder)) {
                RepoFinding& f = Add(RepoFinding::Kind::HolderMissing, files_->Path(rel),
                                     ZUB_N_(L"文档 %i 版本 %ls 被不存在的用户 %ld 检出: %ls"),
                                     row.id, row.version.c_str(), row.holder);
                f.docId = row.id;
                f.version = row.version;
            }
        }
        return 0;
    }

    bool UserExists(long userId) {
        if (userId == 0) return false;
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"UserId", userId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (bo_.Accessor()->SelectRows(rs, L"QV_User", L"UserId", cond, kNone, kNone, kNone, 0,
                                       0) != 0)
            return true;  // unknown: not reported
        return HasRow(rs);
    }

    // Saved files are named from the replaced version's text; the row keeps
    // its main and sub number, so "2" and "2.2" are both candidates.
    int History() {
        for (int docId : ids_) {
            ZUBDB::QVParams cond(false);
            AddInt(cond, L"DocId", docId);
            std::unique_ptr<ZUBDB::CDBRecordset> rs;
            if (bo_.Accessor()->SelectRows(rs, L"QV_DMDocVer",
                                           L"DocVersionId,DocName,Version_Main,Version_Sub", cond,
                                           kNone, kNone, kNone, 0, 0) != 0)
                return bo_.RecordDbError();
            for (; HasRow(rs); rs->MoveNext()) {
                const std::wstring main = std::to_wstring(rs->GetIntAt(2));
                const std::wstring sub = std::to_wstring(rs->GetIntAt(3));
                const std::wstring prefix =
                    std::to_wstring(docId) + L"_" + main + L"." + sub + L".";
                const std::wstring name = rs->GetStringAt(1);
                if (name.rfind(prefix, 0) != 0) continue;
                const std::wstring ext = name.substr(prefix.size());
                std::vector<std::wstring> candidates = {L"\\history\\" + name};
                if (main == sub)
                    candidates.push_back(L"\\history\\" + std::to_wstring(docId) + L"_" + main +
                                         L"." + ext);
                bool found = false;
                for (const std::wstring& rel : candidates) {
                    referenced_.insert(CanonicalServerPath(files_->Path(rel)));
                    bool there = false;
                    if (files_->FileExists(files_->Path(rel), there) == 0 && there) found = true;
                }
                if (!found) {
                    RepoFinding& f =
                        Add(RepoFinding::Kind::HistoryFileMissing, files_->Path(candidates.back()),
                            ZUB_N_(L"文档 %i 的历史版本 %ls.%ls (%ls) 的文件不存在: %ls"), docId,
                            main.c_str(), sub.c_str(), name.c_str());
                    f.docId = docId;
                    f.version = main + L"." + sub;
                }
            }
        }
        return 0;
    }

    int Baselines() {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", repo_.id);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (bo_.Accessor()->SelectRows(rs, L"QV_DMBaseline", L"BaseLineId,name", cond, kNone, kNone,
                                       kNone, 0, 0) != 0)
            return bo_.RecordDbError();
        for (; HasRow(rs); rs->MoveNext()) {
            const std::wstring name = rs->GetStringAt(1);
            baselines_.insert(name);
            const std::wstring folder = files_->Path(L"\\baseline\\" + name);
            referenced_.insert(CanonicalServerPath(folder));
            // A folder renamed onto itself: "not found" only when it is missing.
            const long rc = files_->Try(
                [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.renameFolder(server, port, folder, folder);
                });
            if (rc == NFS::NFS_E_NOT_FOUND) {
                Add(RepoFinding::Kind::BaselineFolderMissing, folder,
                    ZUB_N_(L"基线 %ls 的文件夹不存在: %ls"), name.c_str())
                    .baseLineId = static_cast<int>(rs->GetIntAt(0));
            }
        }
        return 0;
    }

    void NotChecked(const std::wstring& path) {
        Add(RepoFinding::Kind::NotChecked, path, ZUB_N_(L"无法检查: %ls: %ls"),
            bo_.ErrDesc().c_str());
    }

    // Everything below a repository folder, through the file server, so a
    // remote store is walked like a local one. False (and reported) when the
    // server cannot list; a folder that is not there lists empty.
    bool List(const std::wstring& rel, std::vector<NFS::NfsEntry>& entries) {
        const std::wstring folder = files_->Path(rel);
        const long rc =
            files_->Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                return cmd.listFolder(server, port, folder, entries);
            });
        if (rc == 0) return true;
        entries.clear();
        if (rc == NFS::NFS_E_NOT_FOUND) return true;
        if (rc == NFS::NFS_E_INVALID) {
            Add(RepoFinding::Kind::NotChecked, files_->Path(L""),
                ZUB_N_(L"文件服务器 %ls 无法列出文件: %ls"), files_->server().c_str());
            return false;
        }
        files_->Record();
        NotChecked(folder);
        return false;
    }

    // What only a listing shows: untracked files, debris, stray folders.
    void Folders() {
        std::vector<NFS::NfsEntry> entries;
        if (!List(L"\\trunk", entries)) return;
        for (const NFS::NfsEntry& entry : entries) {
            if (entry.folder) continue;
            const std::wstring rel = L"\\trunk\\" + entry.path;
            if (tracked_.count(rel) == 0)
                Add(RepoFinding::Kind::UntrackedTrunkFile, files_->Path(rel),
                    ZUB_N_(L"没有文档记录的文件: %ls"));
        }
        const std::wstring prefix = kStagingPrefix;
        if (List(L"\\history", entries)) {
            for (const NFS::NfsEntry& entry : entries) {
                if (entry.path.find(L'\\') != std::wstring::npos) continue;
                const std::wstring rel = L"\\history\\" + entry.path;
                if (entry.path.rfind(prefix, 0) != 0 || staged_.count(rel) != 0) continue;
                Debris(rel, entry, false);
            }
        }
        if (!List(L"\\baseline", entries)) return;
        for (const NFS::NfsEntry& entry : entries) {
            if (!entry.folder || entry.path.find(L'\\') != std::wstring::npos) continue;
            const std::wstring rel = L"\\baseline\\" + entry.path;
            // A row's folder is a baseline, whatever its name looks like.
            if (baselines_.count(entry.path) != 0) continue;
            if (entry.path.rfind(prefix, 0) == 0) {
                Debris(rel, entry, true);
            } else if (!NFS::CNFS_Cmd::IsTemporaryName(entry.path)) {
                RemoveIfDead(Add(RepoFinding::Kind::BaselineFolderWithoutRow, files_->Path(rel),
                                 ZUB_N_(L"没有基线记录的文件夹: %ls")),
                             rel);
            }
        }
    }

    // Removes a folder under its hold: a running operation keeps it and the
    // finding stays open; one whose process died goes at once.
    void RemoveIfDead(RepoFinding& f, const std::wstring& rel) {
        if (!repair_) return;
        StageFolder folder;
        StageFolder::Taken taken = StageFolder::Taken::Gone;
        if (folder.Take(*files_, rel, taken) != 0 || taken != StageFolder::Taken::Held) return;
        folder.Remove(*files_);
        f.repaired = true;
    }

    // Operation folders in the staging folder that no mark names and no
    // running operation holds.
    int Staging() {
        std::vector<NFS::NfsEntry> entries;
        const long rc =
            files_->Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                return cmd.listFolder(server, port, files_->Path(StageFolder::Root()), entries);
            });
        if (rc == NFS::NFS_E_NOT_FOUND) return 0;
        if (rc != 0) {
            files_->Record();
            NotChecked(files_->Path(StageFolder::Root()));
            return 0;
        }
        for (const NFS::NfsEntry& entry : entries) {
            if (!entry.folder || entry.path.find(L'\\') != std::wstring::npos) continue;
            const std::wstring rel = StageFolder::Root() + L"\\" + entry.path;
            if (stageFolders_.count(rel) != 0) continue;
            StageFolder folder;
            StageFolder::Taken taken = StageFolder::Taken::Gone;
            if (folder.Take(*files_, rel, taken) != 0 || taken != StageFolder::Taken::Held)
                continue;
            // Under the hold: a mark committed since the rows were read?
            bool named = false;
            if (int failed = NamedByMark(rel, named)) return failed;
            if (named) continue;
            RepoFinding& f = Add(RepoFinding::Kind::StagingDebris, files_->Path(rel),
                                 ZUB_N_(L"中断的操作留下的暂存文件: %ls"));
            if (repair_) {
                folder.Remove(*files_);
                f.repaired = true;
            }
        }
        return 0;
    }

    int NamedByMark(const std::wstring& folder, bool& named) {
        ZUBDB::QVParams params(false);
        AddText(params, L"PendingFile", folder + L"\\");
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (bo_.Accessor()->ExecuteSql(
                rs, L"select count(*) from QV_DMDoc where instr(PendingFile, ?) > 0", params, kNone,
                0, 0) != 0)
            return bo_.RecordDbError();
        named = HasRow(rs) && rs->GetIntAt(0, 0) > 0;
        return 0;
    }

    // The file server's temporaries below the repository, but never a file
    // or folder a row names.
    void TransferDebris() {
        const NFS::NfsBackend::Keep keep = [&](const std::wstring& path) {
            return referenced_.count(CanonicalServerPath(path)) != 0;
        };
        std::vector<NFS::NfsDebris> found;
        const long rc =
            files_->Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                return repair_ ? cmd.removeDebris(server, port, files_->Path(L""), found, keep)
                               : cmd.listDebris(server, port, files_->Path(L""), found, keep);
            });
        if (rc != 0) {
            files_->Record();
            NotChecked(files_->Path(L""));
            return;
        }
        for (const NFS::NfsDebris& d : found) {
            Add(RepoFinding::Kind::TransferDebris, L"\\" + CanonicalServerPath(d.path),
                kTransferDebrisText, static_cast<unsigned long>(d.bytes))
                .repaired = repair_;
        }
    }

    void Debris(const std::wstring& rel, const NFS::NfsEntry& entry, bool folder) {
        RepoFinding& f = Add(RepoFinding::Kind::StagingDebris, files_->Path(rel),
                             ZUB_N_(L"中断的操作留下的暂存文件: %ls"));
        if (repair_ && Stale(rel, entry)) f.repaired = Remove(rel, folder);
    }

    // The local clock of a local store as before; a remote server's
    // listing tells its time in whole seconds, and an entry whose time it
    // does not tell is never old enough.
    bool Stale(const std::wstring& rel, const NFS::NfsEntry& entry) const {
        const fs::path local = LocalFolder(files_->server(), files_->Path(rel));
        if (!local.empty()) return OlderThan(local, stale_);
        if (entry.modified <= 0) return false;
        const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count();
        return now - entry.modified >= stale_;
    }

    bool Remove(const std::wstring& rel, bool folder) {
        const std::wstring path = files_->Path(rel);
        return files_->Try(
                   [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                       return folder ? cmd.rm(server, port, path) : cmd.delFile(server, port, path);
                   }) == 0;
    }

    RepoCheck& bo_;
    bool repair_;
    std::vector<RepoFinding>& findings_;
    long stale_;
    Repo repo_;
    std::unique_ptr<RepoFiles> files_;
    std::set<std::wstring> tracked_;
    std::set<std::wstring> staged_;
    std::set<std::wstring> baselines_;
    // Operation folders that a document's mark names.
    std::set<std::wstring> stageFolders_;
    // Canonical server paths that rows name (current and saved files,
    // baseline folders).
    std::set<std::wstring> referenced_;
    std::vector<int> ids_;
};

int RepoCheck::Examine(int docRepoId, bool repair, std::vector<RepoFinding>& findings,
                       long staleSeconds) {
    return OperationScope::Run(*this, kFile, L"DRM::RepoCheck::Examine", [&] {
        ZUBDB::QVParams cond(false);
        if (docRepoId != 0) AddInt(cond, L"DocRepoId", docRepoId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMRepo", L"DocRepoId,Server,Port,Directory", cond,
                                   kNone, kNone, kNone, 0, 0) != 0)
            return RecordDbError();
        std::vector<Repo> repos;
        for (; HasRow(rs); rs->MoveNext())
            repos.push_back(Repo{static_cast<int>(rs->GetIntAt(0)), rs->GetStringAt(1),
                                 rs->GetIntAt(2), rs->GetStringAt(3)});
        rs.reset();
        if (docRepoId != 0 && repos.empty()) {
            RaiseUnknownError(Err::kRepoMissing, Err::kRepoMissingText);
            return Err::kRepoMissing;
        }
        for (const Repo& repo : repos) {
            Examiner examiner(*this, repair, findings, staleSeconds);
            if (int rc = examiner.Run(repo)) return rc;
        }
        return 0;
    });
}

int RepoCheck::ExamineServer(const std::wstring& server, long port, bool repair,
                             std::vector<RepoFinding>& findings) {
    return OperationScope::Run(*this, kFile, L"DRM::RepoCheck::ExamineServer", [&] {
        RepoFiles files(*this);
        files.OpenAt(server, port, L"");
        std::vector<std::wstring> trees;
        {
            ZUBDB::QVParams none(false);
            std::unique_ptr<ZUBDB::CDBRecordset> rs;
            if (Accessor()->SelectRows(rs, L"QV_DMRepo", L"Server,Port,Directory", none, kNone,
                                       kNone, kNone, 0, 0) != 0)
                return RecordDbError();
            for (; HasRow(rs); rs->MoveNext()) {
                if (ZUBDB::ResolveFileServer(Server(), rs->GetStringAt(0)) == files.server() &&
                    rs->GetIntAt(1) == port)
                    trees.push_back(CanonicalServerPath(rs->GetStringAt(2)));
            }
        }
        // Below a repository, Examine decides with the rows at hand.
        const NFS::NfsBackend::Keep keep = [&](const std::wstring& entry) {
            const std::wstring path = CanonicalServerPath(entry);
            for (const std::wstring& tree : trees)
                if (tree.empty() || path == tree || path.rfind(tree + L"\\", 0) == 0) return true;
            return false;
        };
        std::vector<NFS::NfsDebris> found;
        if (int rc =
                files.Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& at, unsigned short atPort) {
                    return repair ? cmd.removeDebris(at, atPort, L"", found, keep)
                                  : cmd.listDebris(at, atPort, L"", found, keep);
                }))
            return rc;
        for (const NFS::NfsDebris& d : found) {
            RepoFinding f;
            f.kind = RepoFinding::Kind::TransferDebris;
            f.path = L"\\" + CanonicalServerPath(d.path);
            f.text = zub::Format(kTransferDebrisText, static_cast<unsigned long>(d.bytes),
                                 f.path.c_str());
            f.repaired = repair;
            findings.push_back(std::move(f));
        }
        return 0;
    });
}

}  // namespace DRM
