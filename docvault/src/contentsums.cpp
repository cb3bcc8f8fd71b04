#include "internal/contentsums.h"

#include <memory>

#include "dbcore/cdbaccessor.h"
#include "docvault/bo.h"
#include "internal/boaccess.h"
#include "internal/repofiles.h"
#include "internal/rowparams.h"
#include "vaultfs/nfserrors.h"

namespace DRM {

namespace {

// A download that keeps failing on changing sums is given up after this many.
constexpr int kAttempts = 3;

int ReadSum(BO& bo, const wchar_t* sql, const ZUBDB::QVParams& params, NFS::ContentSum& sum) {
    sum.expect.clear();
    sum.expectBytes = -1;
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (BOAccess::Accessor(bo)->ExecuteSql(rs, sql, params, kNone, 0, 0) != 0)
        return BOAccess::RecordDbError(bo);
    if (!HasRow(rs)) return 0;
    sum.expect = rs->GetStringAt(0);
    sum.expectBytes = rs->GetInt64At(1, -1);
    return 0;
}

}  // namespace

int ContentSums::Current(BO& bo, int docId, NFS::ContentSum& sum) {
    ZUBDB::QVParams params(false);
    AddInt(params, L"DocId", docId);
    return ReadSum(bo, L"select ContentSha256, ContentBytes from QV_DMDoc where DocId = ?", params,
                   sum);
}

int ContentSums::Saved(BO& bo, int docId, int main, int sub, NFS::ContentSum& sum) {
    ZUBDB::QVParams params(false);
    AddInt(params, L"DocId", docId);
    AddInt(params, L"Version_Main", main);
    AddInt(params, L"Version_Sub", sub);
    return ReadSum(bo,
                   L"select ContentSha256, ContentBytes from QV_DMDocVer where DocId = ? and "
                   L"Version_Main = ? "
                   L"and Version_Sub = ? order by DocVersionId desc limit 1",
                   params, sum);
}

int ContentSums::Download(RepoFiles& files, const std::wstring& remote,
                          const std::wstring& localDir, const std::wstring& localName,
                          const Lookup& recorded) {
    NFS::ContentSum expect;
    if (int rc = recorded(expect)) return rc;
    for (int attempt = 1;; ++attempt) {
        const long rc =
            files.Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
                std::uint64_t count = 0;
                NFS::ContentSum sum{expect.expect, L"", expect.expectBytes, -1};
                return cmd.download(server, port, remote, localDir, localName, count, false, sum);
            });
        if (rc == 0) return 0;
        if (rc != NFS::NFS_E_CONTENT || attempt == kAttempts) return files.Record();
        NFS::ContentSum now;
        if (int status = recorded(now)) return status;
        if (now.expect == expect.expect && now.expectBytes == expect.expectBytes)
            return files.Record();
        expect = std::move(now);
    }
}

}  // namespace DRM
