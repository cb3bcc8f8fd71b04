#include "faulty_store.h"

#include <memory>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/qvsvrinfo.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultfs/localbackend.h"
#include "vaultfs/nfserrors.h"
#include "zub/text.h"

namespace zub::docvault::test {
namespace {

constexpr long kInjected = 99;

class FaultyAccessor : public ZUBDB::CDBAccessor {
public:
    FaultyAccessor(std::unique_ptr<ZUBDB::CDBAccessor> inner, FaultyStore& store)
        : inner_(std::move(inner)), store_(store) {}

    int InsertRow(const std::wstring& t, const ZUBDB::QVParams& v, const std::wstring& a,
                  const std::wstring& b) override {
        if (Fail(L"InsertRow " + t)) return kInjected;
        return Pass(inner_->InsertRow(t, v, a, b));
    }
    int UpdateRows(const std::wstring& t, const ZUBDB::QVParams& v, const ZUBDB::QVParams& c,
                   const std::wstring& a, const std::wstring& b) override {
        if (Fail(L"UpdateRows " + t)) return kInjected;
        return Pass(inner_->UpdateRows(t, v, c, a, b));
    }
    int DeleteRows(const std::wstring& t, const ZUBDB::QVParams& c, const std::wstring& a,
                   const std::wstring& b) override {
        if (Fail(L"DeleteRows " + t)) return kInjected;
        return Pass(inner_->DeleteRows(t, c, a, b));
    }
    int SelectRows(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& t,
                   const std::wstring& cols, const ZUBDB::QVParams& c, const std::wstring& o,
                   const std::wstring& a, const std::wstring& b, int n1, int n2) override {
        if (Fail(L"SelectRows " + t)) return kInjected;
        return Pass(inner_->SelectRows(out, t, cols, c, o, a, b, n1, n2));
    }
    int ExecuteSql(std::unique_ptr<ZUBDB::CDBRecordset>& out, const std::wstring& sql,
                   const ZUBDB::QVParams& p, const std::wstring& a, int n1, int n2) override {
        if (Fail(L"ExecuteSql")) return kInjected;
        return Pass(inner_->ExecuteSql(out, sql, p, a, n1, n2));
    }
    int BeginTrans() override {
        return Fail(L"BeginTrans") ? kInjected : Pass(inner_->BeginTrans());
    }
    int CommitTrans() override {
        // A failed commit leaves the unit open, as a server that lost the
        // connection would; the caller must roll it back.
        if (Fail(L"CommitTrans")) return kInjected;
        return Pass(inner_->CommitTrans());
    }
    int RollbackTrans() override {
        // A rollback never fails here: it is how callers clean up.
        return Pass(inner_->RollbackTrans());
    }
    long long LastInsertId() const override { return inner_->LastInsertId(); }

private:
    bool Fail(const std::wstring& what) {
        if (!store_.Db(what)) return false;
        SetError(kInjected, L"injected failure of " + what);
        return true;
    }
    int Pass(int rc) {
        SetError(inner_->errNumber(), inner_->errDescription());
        return rc;
    }
    std::unique_ptr<ZUBDB::CDBAccessor> inner_;
    FaultyStore& store_;
};

class FaultyBackend : public NFS::NfsBackend {
public:
    FaultyBackend(std::filesystem::path root, FaultyStore& store)
        : inner_(std::move(root)), store_(store) {}

    void logIn(const std::wstring& user, const std::wstring& password) override {
        inner_.logIn(user, password);
    }
    void mk(const std::wstring& dir) override {
        Check(L"mk");
        inner_.mk(dir);
    }
    void rm(const std::wstring& dir) override {
        Check(L"rm");
        inner_.rm(dir);
    }
    void delFile(const std::wstring& file) override {
        Check(L"delFile");
        inner_.delFile(file);
    }
    std::uint64_t upload(const std::wstring& localFile, const std::wstring& remoteFile,
                         const Progress& progress) override {
        Check(L"upload");
        return inner_.upload(localFile, remoteFile, progress);
    }
    std::uint64_t download(const std::wstring& remoteFile, const std::wstring& localDir,
                           const std::wstring& localName, const Progress& progress) override {
        Check(L"download");
        return inner_.download(remoteFile, localDir, localName, progress);
    }
    std::uint64_t downLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress& progress) override {
        Check(L"downLoadFolder");
        return inner_.downLoadFolder(remoteDir, localDir, progress);
    }
    void copy(const std::wstring& source, const std::wstring& target) override {
        Check(L"copy");
        inner_.copy(source, target);
    }
    void copyFolder(const std::wstring& source, const std::wstring& target) override {
        Check(L"copyFolder");
        inner_.copyFolder(source, target);
    }
    std::unique_ptr<NFS::NfsHold> hold(const std::wstring& path) override {
        Check(L"hold");
        return inner_.hold(path);
    }
    std::uint64_t upload(const std::wstring& localFile, const std::wstring& remoteFile,
                         const Progress& progress, NFS::ContentSum& sum) override {
        Check(L"upload");
        return inner_.upload(localFile, remoteFile, progress, sum);
    }
    std::uint64_t download(const std::wstring& remoteFile, const std::wstring& localDir,
                           const std::wstring& localName, const Progress& progress,
                           NFS::ContentSum& sum) override {
        Check(L"download");
        return inner_.download(remoteFile, localDir, localName, progress, sum);
    }
    void copy(const std::wstring& source, const std::wstring& target, const Progress& progress,
              NFS::ContentSum& sum) override {
        Check(L"copy");
        inner_.copy(source, target, progress, sum);
    }
    void copyFolder(const std::wstring& source, const std::wstring& target,
                    const Progress& progress, std::vector<NFS::NfsFileSum>& sums) override {
        Check(L"copyFolder");
        inner_.copyFolder(source, target, progress, sums);
    }
    std::uint64_t downLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress& progress,
                                 const std::vector<NFS::NfsFileSum>& expect) override {
        Check(L"downLoadFolder");
        return inner_.downLoadFolder(remoteDir, localDir, progress, expect);
    }
    std::uint64_t checksum(const std::wstring& file, std::wstring& sha256) override {
        Check(L"checksum");
        return inner_.checksum(file, sha256);
    }
    void renameFile(const std::wstring& oldPath, const std::wstring& newPath) override {
        Check(L"renameFile");
        inner_.renameFile(oldPath, newPath);
    }
    void renameFolder(const std::wstring& oldPath, const std::wstring& newPath) override {
        Check(L"renameFolder");
        inner_.renameFolder(oldPath, newPath);
    }

private:
    void Check(const std::wstring& what) {
        if (store_.Nfs(what)) throw NFS::NfsError(NFS::NFS_E_IO, L"injected failure");
    }
    NFS::LocalBackend inner_;
    FaultyStore& store_;
};

}  // namespace

FaultyStore& FaultyStore::Install() {
    static FaultyStore store;
    ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
        L"faultydb",
        [](const ZUBDB::QVSvrInfo& info,
           const std::wstring& token) -> std::unique_ptr<ZUBDB::CDBAccessor> {
            const std::wstring dir = info.server().substr(info.server().find(L':') + 1);
            auto inner = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
                ZUBDB::QVSvrInfo(L"sqlite:" + dir, info.port(), info.database(), L""), token);
            if (!inner) return nullptr;
            return std::make_unique<FaultyAccessor>(std::move(inner), store);
        });
    ZUBDB::CDBAccessorCreator::instance().RegisterBackend(
        L"faultypg",
        [](const ZUBDB::QVSvrInfo& info,
           const std::wstring& token) -> std::unique_ptr<ZUBDB::CDBAccessor> {
            const std::wstring server = info.server().substr(info.server().find(L':') + 1);
            auto inner = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
                ZUBDB::QVSvrInfo(server, info.port(), info.database(), L""), token);
            if (!inner) return nullptr;
            return std::make_unique<FaultyAccessor>(std::move(inner), store);
        });
    NFS::CNFS_Cmd::Instance()->RegisterBackend(L"faultyfs", [](const std::wstring& server,
                                                               unsigned short) {
        return std::make_unique<FaultyBackend>(
            std::filesystem::path(zub::WideToUtf8(server.substr(server.find(L':') + 1))), store);
    });
    store.Disarm();
    return store;
}

bool FaultyStore::Db(const std::wstring& what) {
    ++dbCalls;
    dbLog.push_back(what);
    if (dbCalls != failDb_) return false;
    fired = true;
    if (!atArmed) return true;
    atArmed();
    return false;
}

bool FaultyStore::Nfs(const std::wstring& what) {
    ++nfsCalls;
    nfsLog.push_back(what);
    if (nfsCalls != failNfs_) return false;
    fired = true;
    return true;
}

void FaultyStore::Reset(int db, int nfs) {
    failDb_ = db;
    failNfs_ = nfs;
    dbCalls = 0;
    nfsCalls = 0;
    fired = false;
    dbLog.clear();
    nfsLog.clear();
}

}  // namespace zub::docvault::test
