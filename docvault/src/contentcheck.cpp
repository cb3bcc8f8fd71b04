#include "docvault/contentcheck.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "docvault/errors.h"
#include "internal/faultpoints.h"
#include "internal/operation.h"
#include "internal/repofiles.h"
#include "internal/rowparams.h"
#include "vaultfs/nfserrors.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/contentcheck";

// One stored file and the row that records its sum.
struct Stored {
    int docId = 0;
    long long rowId = 0;   // DocVersionId, or 0 for the current file
    std::wstring version;  // "main.sub" of a saved version; the current version otherwise
    std::wstring sum;
    std::vector<std::wstring> rels;  // where the file may be, the first found counts
};

}  // namespace

class ContentCheck::Examiner {
public:
    Examiner(ContentCheck& bo, int repoId, bool readAll, bool fill,
             std::vector<ContentFinding>& findings)
        : bo_(bo), repoId_(repoId), readAll_(readAll), fill_(fill), findings_(findings) {}

    int Run() {
        files_ = std::make_unique<RepoFiles>(bo_);
        if (int rc = files_->Open(repoId_)) return rc;
        std::vector<Stored> stored;
        if (int rc = Collect(stored)) return rc;
        for (const Stored& s : stored)
            if (int rc = Check(s)) return rc;
        return 0;
    }

private:
    // Current files of finished rows, then their saved versions.
    int Collect(std::vector<Stored>& stored) {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", repoId_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (bo_.Accessor()->ExecuteSql(
                rs,
                L"select DocId, Name, Ext, phyUrl, CurrentVersion, ContentSha256 from QV_DMDoc "
                L"where DocRepoId = ? and PendingFile = '' order by DocId",
                cond, kNone, 0, 0) != 0)
            return bo_.RecordDbError();
        for (; HasRow(rs); rs->MoveNext()) {
            Stored s;
            s.docId = static_cast<int>(rs->GetIntAt(0));
            s.version = rs->GetStringAt(4);
            s.sum = rs->GetStringAt(5);
            s.rels = {L"\\trunk" + rs->GetStringAt(3) + L"\\" + rs->GetStringAt(1) + L"." +
                      rs->GetStringAt(2)};
            stored.push_back(std::move(s));
        }
        rs.reset();
        if (bo_.Accessor()->ExecuteSql(
                rs,
                L"select v.DocVersionId, v.DocId, v.DocName, v.Version_Main, v.Version_Sub, "
                L"v.ContentSha256 from QV_DMDocVer v join QV_DMDoc d on d.DocId = v.DocId "
                L"where d.DocRepoId = ? and d.PendingFile = '' order by v.DocVersionId",
                cond, kNone, 0, 0) != 0)
            return bo_.RecordDbError();
        for (; HasRow(rs); rs->MoveNext()) {
            Stored s;
            s.rowId = rs->GetInt64At(0, 0);
            s.docId = static_cast<int>(rs->GetIntAt(1));
            const std::wstring name = rs->GetStringAt(2);
            const std::wstring main = std::to_wstring(rs->GetIntAt(3));
            const std::wstring sub = std::to_wstring(rs->GetIntAt(4));
            s.version = main + L"." + sub;
            s.sum = rs->GetStringAt(5);
            // Saved under the replaced version's text: "2" and "2.2" both
            // read back as main 2, sub 2.
            s.rels = {L"\\history\\" + name};
            const std::wstring prefix = std::to_wstring(s.docId) + L"_" + s.version + L".";
            if (main == sub && name.rfind(prefix, 0) == 0)
                s.rels.push_back(L"\\history\\" + std::to_wstring(s.docId) + L"_" + main + L"." +
                                 name.substr(prefix.size()));
            stored.push_back(std::move(s));
        }
        return 0;
    }

    int Check(const Stored& s) {
        if (s.sum.empty() && !fill_) {
            Add(ContentFinding::Kind::SumMissing, s, files_->Path(s.rels.front()),
                L"没有记录内容校验和");
            return 0;
        }
        if (!s.sum.empty() && !readAll_) return 0;
        std::wstring path;
        std::wstring read;
        for (const std::wstring& rel : s.rels) {
            path = files_->Path(rel);
            std::uint64_t bytes = 0;
            const long rc = files_->Try(
                [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.checksum(server, port, path, read, bytes);
                });
            if (rc == 0) break;
            // A missing file is RepoCheck's finding.
            if (rc == NFS::NFS_E_NOT_FOUND) continue;
            files_->Record();
            Add(ContentFinding::Kind::NotChecked, s, path, L"文件无法读取: " + bo_.ErrDesc());
            return 0;
        }
        if (read.empty()) return 0;
        if (s.sum.empty()) {
            ContentFinding& f =
                Add(ContentFinding::Kind::SumMissing, s, path, L"没有记录内容校验和");
            if (int rc = Record(s, read, f.repaired)) return rc;
            if (f.repaired) f.text += L" (已记录 " + read + L")";
            return 0;
        }
        if (read == s.sum) return 0;
        // A check-in may have replaced the file since the rows were read.
        bool changed = false;
        if (int rc = Changed(s, changed)) return rc;
        if (changed) return 0;
        Add(ContentFinding::Kind::Mismatch, s, path,
            L"内容与记录的校验和不符 (记录 " + s.sum + L", 读出 " + read + L")");
        return 0;
    }

    // Only where the row still has no sum and, for a current file, still the
    // version whose file was read.
    int Record(const Stored& s, const std::wstring& read, bool& done) {
        FaultPoint::Hit(FaultPoint::kContentSumRead);
        ZUBDB::QVParams values(false);
        AddText(values, L"ContentSha256", read);
        ZUBDB::QVParams cond(false);
        const wchar_t* table = L"QV_DMDocVer";
        if (s.rowId != 0) {
            AddInt(cond, L"DocVersionId", s.rowId);
        } else {
            table = L"QV_DMDoc";
            AddInt(cond, L"DocId", s.docId);
            AddText(cond, L"CurrentVersion", s.version);
            AddText(cond, L"PendingFile", L"");
        }
        AddText(cond, L"ContentSha256", L"");
        if (bo_.Accessor()->UpdateRows(table, values, cond, kNone, kNone) != 0 ||
            bo_.Accessor()->CommitTrans() != 0) {
            const int rc = bo_.RecordDbError();
            bo_.Accessor()->RollbackTrans();
            return rc;
        }
        // Recorded by this run or by another with the same reading.
        Stored now = s;
        now.sum = read;
        bool changed = true;
        if (int rc = Changed(now, changed)) return rc;
        done = !changed;
        return 0;
    }

    int Changed(const Stored& s, bool& changed) {
        ZUBDB::QVParams cond(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        int rc = 0;
        if (s.rowId != 0) {
            AddInt(cond, L"DocVersionId", s.rowId);
            rc = bo_.Accessor()->ExecuteSql(
                rs, L"select ContentSha256 from QV_DMDocVer where DocVersionId = ?", cond, kNone, 0,
                0);
        } else {
            AddInt(cond, L"DocId", s.docId);
            rc = bo_.Accessor()->ExecuteSql(
                rs,
                L"select ContentSha256 || '|' || CurrentVersion || '|' || PendingFile "
                L"from QV_DMDoc where DocId = ?",
                cond, kNone, 0, 0);
        }
        if (rc != 0) return bo_.RecordDbError();
        const std::wstring was = s.rowId != 0 ? s.sum : s.sum + L"|" + s.version + L"|";
        changed = !HasRow(rs) || rs->GetStringAt(0) != was;
        return 0;
    }

    ContentFinding& Add(ContentFinding::Kind kind, const Stored& s, std::wstring path,
                        const std::wstring& what) {
        ContentFinding f;
        f.kind = kind;
        f.docRepoId = repoId_;
        f.docId = s.docId;
        if (s.rowId != 0) f.version = s.version;
        f.path = std::move(path);
        f.text = L"文档 " + std::to_wstring(s.docId) +
                 (s.rowId != 0 ? L" 的历史版本 " + s.version : L" 的当前文件") + L" (" + f.path +
                 L"): " + what;
        findings_.push_back(std::move(f));
        return findings_.back();
    }

    ContentCheck& bo_;
    int repoId_;
    bool readAll_;
    bool fill_;
    std::vector<ContentFinding>& findings_;
    std::unique_ptr<RepoFiles> files_;
};

int ContentCheck::Examine(int docRepoId, bool readAll, bool fill,
                          std::vector<ContentFinding>& findings) {
    return OperationScope::Run(*this, kFile, L"DRM::ContentCheck::Examine", [&] {
        ZUBDB::QVParams cond(false);
        if (docRepoId != 0) AddInt(cond, L"DocRepoId", docRepoId);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->SelectRows(rs, L"QV_DMRepo", L"DocRepoId", cond, kNone, kNone, kNone, 0,
                                   0) != 0)
            return RecordDbError();
        std::vector<int> repos;
        for (; HasRow(rs); rs->MoveNext()) repos.push_back(static_cast<int>(rs->GetIntAt(0)));
        rs.reset();
        if (docRepoId != 0 && repos.empty()) {
            RaiseUnknownError(Err::kRepoMissing, Err::kRepoMissingText);
            return Err::kRepoMissing;
        }
        for (int repo : repos) {
            Examiner examiner(*this, repo, readAll, fill, findings);
            if (int rc = examiner.Run()) return rc;
        }
        return 0;
    });
}

}  // namespace DRM
