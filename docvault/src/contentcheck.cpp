#include "docvault/contentcheck.h"

#include <map>
#include <memory>
#include <optional>
#include <set>

#include "dbcore/cdbaccessor.h"
#include "docvault/errors.h"
#include "internal/faultpoints.h"
#include "internal/operation.h"
#include "internal/repofiles.h"
#include "internal/rowparams.h"
#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/contentcheck";

// One stored file and the row that records its sum.
struct Stored {
    int docId = 0;
    long long rowId = 0;   // DocVersionId, or 0 for the current file
    std::wstring version;  // "main.sub" of a saved version; the current version otherwise
    std::wstring sum;
    long long bytes = -1;
    std::vector<std::wstring> rels;  // where the file may be, the first found counts
    // A baseline's file: its baseline and its path below the baseline's folder.
    long long baseLineId = 0;
    std::wstring baseline;
    std::wstring file;
    bool listed = true;  // false: the baseline has no recorded files yet
};

// A finding's text names the stored file the way its kind needs: one template
// each for a baseline's file (baseline, path), a saved version (document,
// version, path) and a current file (document, path), then what was found.
struct Texts {
    const wchar_t* baseline;
    const wchar_t* history;
    const wchar_t* current;
};

const Texts kSumMissing = {
    ZUB_N_(L"基线 %ls 的文件 (%ls): 没有记录内容校验和"),
    ZUB_N_(L"文档 %i 的历史版本 %ls (%ls): 没有记录内容校验和"),
    ZUB_N_(L"文档 %i 的当前文件 (%ls): 没有记录内容校验和"),
};
const Texts kSizeMissing = {
    ZUB_N_(L"基线 %ls 的文件 (%ls): 没有记录文件大小"),
    ZUB_N_(L"文档 %i 的历史版本 %ls (%ls): 没有记录文件大小"),
    ZUB_N_(L"文档 %i 的当前文件 (%ls): 没有记录文件大小"),
};
// The two above once the sum read is recorded (sum, bytes).
const Texts kSumRecorded = {
    ZUB_N_(L"基线 %ls 的文件 (%ls): 没有记录内容校验和 (已记录 %ls, %lu 字节)"),
    ZUB_N_(L"文档 %i 的历史版本 %ls (%ls): 没有记录内容校验和 (已记录 %ls, %lu 字节)"),
    ZUB_N_(L"文档 %i 的当前文件 (%ls): 没有记录内容校验和 (已记录 %ls, %lu 字节)"),
};
const Texts kSizeRecorded = {
    ZUB_N_(L"基线 %ls 的文件 (%ls): 没有记录文件大小 (已记录 %ls, %lu 字节)"),
    ZUB_N_(L"文档 %i 的历史版本 %ls (%ls): 没有记录文件大小 (已记录 %ls, %lu 字节)"),
    ZUB_N_(L"文档 %i 的当前文件 (%ls): 没有记录文件大小 (已记录 %ls, %lu 字节)"),
};
// (why)
const Texts kUnreadable = {
    ZUB_N_(L"基线 %ls 的文件 (%ls): 文件无法读取: %ls"),
    ZUB_N_(L"文档 %i 的历史版本 %ls (%ls): 文件无法读取: %ls"),
    ZUB_N_(L"文档 %i 的当前文件 (%ls): 文件无法读取: %ls"),
};
// (recorded bytes, actual bytes)
const Texts kSizeDiffers = {
    ZUB_N_(L"基线 %ls 的文件 (%ls): 文件大小与记录不符 (记录 %ld 字节, 实际 %lu 字节)"),
    ZUB_N_(L"文档 %i 的历史版本 %ls (%ls): 文件大小与记录不符 (记录 %ld 字节, 实际 %lu 字节)"),
    ZUB_N_(L"文档 %i 的当前文件 (%ls): 文件大小与记录不符 (记录 %ld 字节, 实际 %lu 字节)"),
};
// (recorded sum, sum read)
const Texts kSumDiffers = {
    ZUB_N_(L"基线 %ls 的文件 (%ls): 内容与记录的校验和不符 (记录 %ls, 读出 %ls)"),
    ZUB_N_(L"文档 %i 的历史版本 %ls (%ls): 内容与记录的校验和不符 (记录 %ls, 读出 %ls)"),
    ZUB_N_(L"文档 %i 的当前文件 (%ls): 内容与记录的校验和不符 (记录 %ls, 读出 %ls)"),
};
const Texts kMissing = {
    ZUB_N_(L"基线 %ls 的文件 (%ls): 文件不存在"),
    ZUB_N_(L"文档 %i 的历史版本 %ls (%ls): 文件不存在"),
    ZUB_N_(L"文档 %i 的当前文件 (%ls): 文件不存在"),
};

// Sizes of the files below one folder of the repository, by path relative to the root.
using Sizes = std::map<std::wstring, std::uint64_t>;

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
        if (int rc = CollectBaselines(stored)) return rc;
        List(L"\\trunk");
        List(L"\\history");
        for (const Stored& s : stored)
            if (int rc = Check(s)) return rc;
        if (int rc = FillBaselines()) return rc;
        return CheckWritable();
    }

    // Files that share their bytes with others (a baseline, the history)
    // rely on no stored file being written again.
    int CheckWritable() {
        for (const std::wstring& rel : writable_) {
            Stored s;
            const std::wstring path = files_->Path(rel);
            ContentFinding& f =
                Add(ContentFinding::Kind::Writable, s, path,
                    zub::Format(ZUB_N_(L"文档 %i 的当前文件 (%ls): 存放的文件可以写入 "
                                       "(存放的文件从不在原处修改)"),
                                s.docId, path.c_str()));
            if (!fill_) continue;
            if (files_->Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server,
                                unsigned short port) { return cmd.seal(server, port, path); }) ==
                0) {
                f.repaired = true;
                f.text = zub::Format(ZUB_N_(L"文档 %i 的当前文件 (%ls): 存放的文件可以写入 "
                                            "(存放的文件从不在原处修改) (已去掉写权限)"),
                                     s.docId, path.c_str());
            }
        }
        return 0;
    }

private:
    // Current files of finished rows, then their saved versions.
    int Collect(std::vector<Stored>& stored) {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", repoId_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (bo_.Accessor()->ExecuteSql(rs,
                                       L"select DocId, Name, Ext, phyUrl, CurrentVersion, "
                                       L"ContentSha256, ContentBytes from QV_DMDoc "
                                       L"where DocRepoId = ? and PendingFile = '' order by DocId",
                                       cond, kNone, 0, 0) != 0)
            return bo_.RecordDbError();
        for (; HasRow(rs); rs->MoveNext()) {
            Stored s;
            s.docId = static_cast<int>(rs->GetIntAt(0));
            s.version = rs->GetStringAt(4);
            s.sum = rs->GetStringAt(5);
            s.bytes = rs->GetInt64At(6, -1);
            s.rels = {L"\\trunk" + rs->GetStringAt(3) + L"\\" + rs->GetStringAt(1) + L"." +
                      rs->GetStringAt(2)};
            stored.push_back(std::move(s));
        }
        rs.reset();
        if (bo_.Accessor()->ExecuteSql(
                rs,
                L"select v.DocVersionId, v.DocId, v.DocName, v.Version_Main, v.Version_Sub, "
                L"v.ContentSha256, v.ContentBytes from QV_DMDocVer v join QV_DMDoc d on d.DocId "
                L"= v.DocId where d.DocRepoId = ? and d.PendingFile = '' order by v.DocVersionId",
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
            s.bytes = rs->GetInt64At(6, -1);
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

    // Every baseline's recorded files; one made before they were recorded
    // contributes what its folder holds, without sums.
    int CollectBaselines(std::vector<Stored>& stored) {
        ZUBDB::QVParams cond(false);
        AddInt(cond, L"DocRepoId", repoId_);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (bo_.Accessor()->ExecuteSql(
                rs,
                L"select b.BaseLineId, b.name, f.Path, f.ContentSha256, f.ContentBytes, "
                L"f.BaseLineId is null from "
                L"QV_DMBaseline b left join ZUB_DMBaselineFile f on f.BaseLineId = b.BaseLineId "
                L"where b.DocRepoId = ? order by b.BaseLineId, f.Path",
                cond, kNone, 0, 0) != 0)
            return bo_.RecordDbError();
        std::vector<Stored> old;
        for (; HasRow(rs); rs->MoveNext()) {
            Stored s;
            s.baseLineId = rs->GetInt64At(0, 0);
            s.baseline = rs->GetStringAt(1);
            const bool none = rs->GetIntAt(5) != 0;
            s.file = rs->GetStringAt(2);
            s.sum = rs->GetStringAt(3);
            s.bytes = rs->GetInt64At(4, -1);
            s.listed = !none;
            (none ? old : stored).push_back(std::move(s));
        }
        rs.reset();
        const Sizes all = List(L"\\baseline");
        for (Stored& b : old) {
            // Its folder missing is RepoCheck's finding.
            const std::wstring folder = L"\\baseline\\" + b.baseline + L"\\";
            std::size_t count = 0;
            for (auto it = all.lower_bound(folder);
                 it != all.end() && it->first.compare(0, folder.size(), folder) == 0; ++it) {
                Stored s = b;
                s.file = it->first.substr(folder.size());
                stored.push_back(std::move(s));
                ++count;
            }
            if (count != 0 && !fill_)
                AddUnlistedBaseline(b, files_->Path(folder.substr(0, folder.size() - 1)), count);
        }
        for (Stored& s : stored)
            if (s.baseLineId != 0) s.rels = {L"\\baseline\\" + s.baseline + L"\\" + s.file};
        // Files of baselines with a list that are not on it.
        std::set<std::wstring> known;
        std::set<std::wstring> recorded;
        for (const Stored& s : stored)
            if (s.baseLineId != 0 && s.listed) {
                known.insert(s.rels.front());
                recorded.insert(L"\\baseline\\" + s.baseline + L"\\");
            }
        for (const auto& [rel, bytes] : all) {
            if (known.count(rel)) continue;
            const std::size_t cut = rel.find(L'\\', std::wstring(L"\\baseline\\").size());
            if (cut == std::wstring::npos || !recorded.count(rel.substr(0, cut + 1))) continue;
            Stored s;
            s.baseline = rel.substr(10, cut - 10);
            const std::wstring path = files_->Path(rel);
            ContentFinding& f =
                Add(ContentFinding::Kind::Unlisted, s, path,
                    zub::Format(ZUB_N_(L"基线 %ls 的文件 (%ls): 不是基线记录的文件"),
                                s.baseline.c_str(), path.c_str()));
            f.baseline = s.baseline;
        }
        return 0;
    }

    // What a folder holds, with sizes; nothing when it cannot be listed (a
    // missing folder is RepoCheck's finding).
    const Sizes& List(const std::wstring& rel) {
        Sizes& sizes = sizes_[rel];
        std::vector<NFS::NfsEntry> entries;
        if (files_->Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                return cmd.listFolder(server, port, files_->Path(rel), entries);
            }) != 0)
            return sizes;
        for (const NFS::NfsEntry& e : entries) {
            if (e.folder) continue;
            sizes[rel + L"\\" + e.path] = e.bytes;
            if (e.writable) writable_.insert(rel + L"\\" + e.path);
        }
        return sizes;
    }

    // The listed size of a file, when its folder was listed and holds it.
    std::optional<std::uint64_t> ListedSize(const std::wstring& rel) const {
        for (const auto& [folder, sizes] : sizes_) {
            if (rel.compare(0, folder.size() + 1, folder + L"\\") != 0) continue;
            const auto found = sizes.find(rel);
            if (found != sizes.end()) return found->second;
        }
        return std::nullopt;
    }

    int Check(const Stored& s) {
        if (!s.listed && !fill_) return 0;
        const bool missing = s.sum.empty() || s.bytes < 0;
        if (!missing && !readAll_) return CheckSize(s);
        if (missing && !fill_) {
            if (s.baseLineId != 0 && !s.listed) return 0;  // reported once per baseline
            if (s.baseLineId != 0 && !ListedSize(s.rels.front())) return ReportMissing(s);
            const std::wstring path = files_->Path(s.rels.front());
            Add(ContentFinding::Kind::SumMissing, s, path,
                Describe(s, path, s.sum.empty() ? kSumMissing : kSizeMissing));
            return 0;
        }
        std::wstring path;
        std::wstring read;
        std::uint64_t bytes = 0;
        for (const std::wstring& rel : s.rels) {
            path = files_->Path(rel);
            const long rc = files_->Try(
                [&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                    return cmd.checksum(server, port, path, read, bytes);
                });
            if (rc == 0) break;
            // A missing file is RepoCheck's finding, but for a baseline's.
            if (rc == NFS::NFS_E_NOT_FOUND) continue;
            files_->Record();
            Add(ContentFinding::Kind::NotChecked, s, path,
                Describe(s, path, kUnreadable, bo_.ErrDesc().c_str()));
            return 0;
        }
        if (read.empty()) return s.baseLineId != 0 ? ReportMissing(s) : 0;
        if (!s.listed) {
            unlisted_[s.baseLineId].push_back({s, read, bytes});
            return 0;
        }
        const bool sameSum = s.sum.empty() || read == s.sum;
        const bool sameSize = s.bytes < 0 || static_cast<long long>(bytes) == s.bytes;
        if (missing && sameSum && sameSize) {
            ContentFinding& f = Add(ContentFinding::Kind::SumMissing, s, path,
                                    Describe(s, path, s.sum.empty() ? kSumMissing : kSizeMissing));
            if (int rc = Record(s, read, bytes, f.repaired)) return rc;
            if (f.repaired)
                f.text = Describe(s, path, s.sum.empty() ? kSumRecorded : kSizeRecorded,
                                  read.c_str(), static_cast<unsigned long>(bytes));
            return 0;
        }
        if (sameSum && sameSize) return 0;
        return ReportMismatch(s, path,
                              sameSum
                                  ? Describe(s, path, kSizeDiffers, static_cast<long>(s.bytes),
                                             static_cast<unsigned long>(bytes))
                                  : Describe(s, path, kSumDiffers, s.sum.c_str(), read.c_str()));
    }

    // Without reading: the listed size against the recorded one.
    int CheckSize(const Stored& s) {
        for (const std::wstring& rel : s.rels) {
            const auto size = ListedSize(rel);
            if (!size) continue;
            if (static_cast<long long>(*size) == s.bytes) return 0;
            const std::wstring path = files_->Path(rel);
            return ReportMismatch(s, path,
                                  Describe(s, path, kSizeDiffers, static_cast<long>(s.bytes),
                                           static_cast<unsigned long>(*size)));
        }
        return s.baseLineId != 0 ? ReportMissing(s) : 0;
    }

    int ReportMismatch(const Stored& s, const std::wstring& path, const std::wstring& what) {
        // A check-in may have replaced the file since the rows were read.
        bool changed = false;
        if (s.baseLineId == 0)
            if (int rc = Changed(s, changed)) return rc;
        if (changed) return 0;
        Add(ContentFinding::Kind::Mismatch, s, path, what);
        return 0;
    }

    int ReportMissing(const Stored& s) {
        const std::wstring path = files_->Path(s.rels.front());
        Add(ContentFinding::Kind::Missing, s, path, Describe(s, path, kMissing));
        return 0;
    }

    // Only where the row still has no sum or size and, for a current file,
    // still the version whose file was read.
    int Record(const Stored& s, const std::wstring& read, std::uint64_t bytes, bool& done) {
        FaultPoint::Hit(FaultPoint::kContentSumRead);
        ZUBDB::QVParams params(false);
        AddText(params, L"ContentSha256", read);
        AddInt(params, L"ContentBytes", static_cast<long long>(bytes));
        std::wstring sql;
        if (s.baseLineId != 0) {
            sql =
                L"update ZUB_DMBaselineFile set ContentSha256 = ?, ContentBytes = ? where "
                L"BaseLineId = ? and Path = ?";
            AddInt(params, L"BaseLineId", s.baseLineId);
            AddText(params, L"Path", s.file);
        } else if (s.rowId != 0) {
            sql =
                L"update QV_DMDocVer set ContentSha256 = ?, ContentBytes = ? where "
                L"DocVersionId = ?";
            AddInt(params, L"DocVersionId", s.rowId);
        } else {
            sql =
                L"update QV_DMDoc set ContentSha256 = ?, ContentBytes = ? where DocId = ? and "
                L"CurrentVersion = ? and PendingFile = ''";
            AddInt(params, L"DocId", s.docId);
            AddText(params, L"CurrentVersion", s.version);
        }
        sql +=
            L" and (ContentSha256 = '' or ContentSha256 = ?) and (ContentBytes = -1 or "
            L"ContentBytes = ?)";
        AddText(params, L"sum", read);
        AddInt(params, L"bytes", static_cast<long long>(bytes));
        if (int rc = Write(sql, params)) return rc;
        // Recorded by this run or by another with the same reading.
        Stored now = s;
        now.sum = read;
        now.bytes = static_cast<long long>(bytes);
        bool changed = true;
        if (int rc = Changed(now, changed)) return rc;
        done = !changed;
        return 0;
    }

    // The files of each baseline made before its files were recorded, all
    // in one transaction: a baseline's list is whole or absent.
    int FillBaselines() {
        for (const auto& [id, reads] : unlisted_) {
            ContentFinding& f = AddUnlistedBaseline(
                reads.front().stored, files_->Path(L"\\baseline\\" + reads.front().stored.baseline),
                reads.size());
            FaultPoint::Hit(FaultPoint::kContentBaselineRead);
            if (bo_.Accessor()->BeginTrans() != 0) return bo_.RecordDbError();
            for (const Read& r : reads) {
                ZUBDB::QVParams params(false);
                AddInt(params, L"BaseLineId", id);
                AddText(params, L"Path", r.stored.file);
                AddText(params, L"ContentSha256", r.sum);
                AddInt(params, L"ContentBytes", static_cast<long long>(r.bytes));
                AddInt(params, L"exists", id);
                // A baseline deleted meanwhile gets no rows; another repair's
                // rows of the same reading stay.
                std::unique_ptr<ZUBDB::CDBRecordset> rs;
                if (bo_.Accessor()->ExecuteSql(
                        rs,
                        L"insert or ignore into ZUB_DMBaselineFile (BaseLineId, Path, "
                        L"ContentSha256, ContentBytes) select ?, ?, ?, ? where exists (select 1 "
                        L"from QV_DMBaseline where BaseLineId = ?)",
                        params, kNone, 0, 0) != 0) {
                    const int rc = bo_.RecordDbError();
                    bo_.Accessor()->RollbackTrans();
                    return rc;
                }
            }
            if (bo_.Accessor()->CommitTrans() != 0) {
                const int rc = bo_.RecordDbError();
                bo_.Accessor()->RollbackTrans();
                return rc;
            }
            f.repaired = true;
            f.text = zub::Format(
                ZUB_N_(L"基线 %ls 的文件 (%ls): 基线的文件没有记录校验和 (%lu 个文件) "
                       "(已记录)"),
                f.baseline.c_str(), f.path.c_str(), static_cast<unsigned long>(reads.size()));
        }
        return 0;
    }

    int Write(const std::wstring& sql, const ZUBDB::QVParams& params) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (bo_.Accessor()->BeginTrans() != 0 ||
            bo_.Accessor()->ExecuteSql(rs, sql, params, kNone, 0, 0) != 0 ||
            bo_.Accessor()->CommitTrans() != 0) {
            const int rc = bo_.RecordDbError();
            bo_.Accessor()->RollbackTrans();
            return rc;
        }
        return 0;
    }

    int Changed(const Stored& s, bool& changed) {
        ZUBDB::QVParams cond(false);
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        int rc = 0;
        if (s.baseLineId != 0) {
            AddInt(cond, L"BaseLineId", s.baseLineId);
            AddText(cond, L"Path", s.file);
            rc = bo_.Accessor()->ExecuteSql(
                rs,
                L"select ContentSha256 || '|' || ContentBytes from ZUB_DMBaselineFile where "
                L"BaseLineId = ? and Path = ?",
                cond, kNone, 0, 0);
        } else if (s.rowId != 0) {
            AddInt(cond, L"DocVersionId", s.rowId);
            rc = bo_.Accessor()->ExecuteSql(
                rs,
                L"select ContentSha256 || '|' || ContentBytes from QV_DMDocVer where "
                L"DocVersionId = ?",
                cond, kNone, 0, 0);
        } else {
            AddInt(cond, L"DocId", s.docId);
            rc = bo_.Accessor()->ExecuteSql(
                rs,
                L"select ContentSha256 || '|' || ContentBytes || '|' || CurrentVersion || '|' || "
                L"PendingFile from QV_DMDoc where DocId = ?",
                cond, kNone, 0, 0);
        }
        if (rc != 0) return bo_.RecordDbError();
        std::wstring was = s.sum + L"|" + std::to_wstring(s.bytes);
        if (s.baseLineId == 0 && s.rowId == 0) was += L"|" + s.version + L"|";
        changed = !HasRow(rs) || rs->GetStringAt(0) != was;
        return 0;
    }

    // The text of a finding about s at path, from the template for its kind.
    template <class... Extra>
    static std::wstring Describe(const Stored& s, const std::wstring& path, const Texts& texts,
                                 const Extra&... extra) {
        if (!s.baseline.empty())
            return zub::Format(texts.baseline, s.baseline.c_str(), path.c_str(), extra...);
        if (s.rowId != 0)
            return zub::Format(texts.history, s.docId, s.version.c_str(), path.c_str(), extra...);
        return zub::Format(texts.current, s.docId, path.c_str(), extra...);
    }

    // A baseline made before its files were recorded (count: its files).
    ContentFinding& AddUnlistedBaseline(const Stored& b, const std::wstring& path,
                                        std::size_t count) {
        return Add(
            ContentFinding::Kind::SumMissing, b, path,
            zub::Format(ZUB_N_(L"基线 %ls 的文件 (%ls): 基线的文件没有记录校验和 (%lu 个文件)"),
                        b.baseline.c_str(), path.c_str(), static_cast<unsigned long>(count)));
    }

    ContentFinding& Add(ContentFinding::Kind kind, const Stored& s, std::wstring path,
                        std::wstring text) {
        ContentFinding f;
        f.kind = kind;
        f.docRepoId = repoId_;
        f.docId = s.docId;
        if (s.rowId != 0) f.version = s.version;
        f.baseline = s.baseline;
        f.path = std::move(path);
        f.text = std::move(text);
        findings_.push_back(std::move(f));
        return findings_.back();
    }

    struct Read {
        Stored stored;
        std::wstring sum;
        std::uint64_t bytes = 0;
    };

    ContentCheck& bo_;
    int repoId_;
    bool readAll_;
    bool fill_;
    std::vector<ContentFinding>& findings_;
    std::unique_ptr<RepoFiles> files_;
    std::map<std::wstring, Sizes> sizes_;              // by folder below the root
    std::map<long long, std::vector<Read>> unlisted_;  // by baseline, to be recorded
    std::set<std::wstring> writable_;                  // below the root
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
