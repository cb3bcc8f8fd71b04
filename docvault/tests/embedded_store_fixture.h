// An embedded store in a temporary folder, or a store on the test program's
// PostgreSQL cluster, with one repository "D:\repo1" on the local file
// server or on the test program's WebDAV server, for the end-to-end tests of
// documents and baselines.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#include "dbcore/cdbaccessorcreator.h"
#include "dbcore/embeddedstore.h"
#include "dbcore/qvparams.h"
#include "dbcore/qvsvrinfo.h"
#include "internal/fileserverlogin.h"
#include "vaultfs/cnfs_cmd.h"
#include "vaultschema/productstore.h"
#include "zub/text.h"
#include "zubtest/pgcluster.h"
#include "zubtest/tempdir.h"
#include "zubtest/webdavserver.h"

namespace zub::docvault::test {

namespace fs = std::filesystem;

// Server: the store on PostgreSQL, files on the local file server;
// ServerWebDav: the store on PostgreSQL, files on a WebDAV server.
enum class Backend { Embedded, Server, ServerWebDav };

inline std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    switch (info.param) {
        case Backend::Embedded:
            return "Embedded";
        case Backend::Server:
            return "Server";
        case Backend::ServerWebDav:
            return "ServerWebDav";
    }
    return "Unknown";
}

// One WebDAV server per test program, started by the first test that needs
// it; each test works in a folder of its own on it.
inline zub::testsupport::WebDavServer& SharedWebDav() {
    static zub::testsupport::WebDavServer server;
    return server;
}

class EmbeddedStoreFixture : public ::testing::Test {
protected:
    // QVData and QVSystem as a new store leaves them: made once per program,
    // kept as templates, copied for every test.
    static void FreshServerStore() {
        const auto& cluster = zub::testsupport::PgCluster::Shared();
        static bool made = false;
        if (!made) {
            for (const char* db : {"QVData", "QVSystem", "tpl_QVData", "tpl_QVSystem"})
                cluster.DropDatabase(db);
            bool existed = false;
            std::wstring error;
            const ZUBDB::ServerPlace place{zub::Utf8ToWide(cluster.socketDir()), cluster.port(),
                                           zub::Utf8ToWide(cluster.SocketToken())};
            if (zub::vaultschema::ProductStore::CreateOnServer(place, "QVData", existed, error) !=
                0)
                throw std::runtime_error("cannot make the server store: " + zub::WideToUtf8(error));
            cluster.CopyDatabase("QVData", "tpl_QVData");
            cluster.CopyDatabase("QVSystem", "tpl_QVSystem");
            made = true;
        }
        cluster.CopyDatabase("tpl_QVData", "QVData");
        cluster.CopyDatabase("tpl_QVSystem", "QVSystem");
    }

    void SetUp() override {
        dir_.emplace("docvault-docs");
        base_ = dir_->path();
        store_ = base_ / "store";
        root_ = base_ / "files";
        local_ = base_ / "local";
        fs::create_directories(root_);
        fs::create_directories(local_);
        std::wstring error;
        if (backend_ == Backend::Embedded)
            ASSERT_EQ(zub::vaultschema::ProductStore::Create(store_.string(), "QVData", error), 0)
                << error;
        else
            FreshServerStore();
        if (backend_ == Backend::ServerWebDav) UseWebDav();
        FileServerLogin::Get().Reset();
        raw_ = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(DbServer(), DbPort(), L"QVData", L""), DbToken());
        ASSERT_TRUE(raw_) << ZUBDB::CDBAccessorCreator::instance().LastError();
        repoId_ = MakeRepo(L"r1", L"D:\\repo1");
    }

    void TearDown() override {
        raw_.reset();
        FileServerLogin::Get().Reset();
        dir_.reset();
    }

    std::wstring DbServer() const {
        if (OnPostgres()) return zub::Utf8ToWide(zub::testsupport::PgCluster::Shared().socketDir());
        return L"sqlite:" + store_.wstring();
    }
    long DbPort() const { return OnPostgres() ? zub::testsupport::PgCluster::Shared().port() : 0; }
    std::wstring DbToken() const {
        return OnPostgres() ? zub::Utf8ToWide(zub::testsupport::PgCluster::Shared().SocketToken())
                            : std::wstring();
    }
    std::wstring FileServer() const {
        if (backend_ == Backend::ServerWebDav) return davServer_;
        return L"file:" + root_.wstring();
    }
    bool OnPostgres() const { return backend_ != Backend::Embedded; }

    // A folder of its own on the shared WebDAV server, which root_ then
    // names on the server's disk, and the store's file-server password the
    // server's.
    void UseWebDav() {
        static int tests = 0;
        zub::testsupport::WebDavServer& dav = SharedWebDav();
        const std::string folder = "t" + std::to_string(++tests);
        const std::wstring origin =
            zub::Utf8ToWide(dav.origin() + ":" + std::to_string(dav.port()));
        NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
        const std::wstring user = zub::Utf8ToWide(dav.options().user);
        const std::wstring password = zub::Utf8ToWide(dav.options().password);
        ASSERT_EQ(cmd->logIn(origin, 0, L"", user, password), 0);
        ASSERT_EQ(cmd->mk(origin, 0, zub::Utf8ToWide(folder), false), 0);
        davServer_ = origin + L"/" + zub::Utf8ToWide(folder);
        root_ = dav.documents() / folder;
        ASSERT_EQ(cmd->logIn(davServer_, 0, L"", user, password), 0);
        auto system = ZUBDB::CDBAccessorCreator::instance().CreateAccessor(
            ZUBDB::QVSvrInfo(DbServer(), DbPort(), L"QVSystem", L""), DbToken());
        ASSERT_TRUE(system) << ZUBDB::CDBAccessorCreator::instance().LastError();
        ZUBDB::QVParams v(false);
        v.AddParam(0, L"sysPwd", password, false, false, L"=");
        ASSERT_EQ(system->UpdateRows(L"QV_SysInfo", v, ZUBDB::QVParams(false), L"", L""), 0)
            << zub::WideToUtf8(system->errDescription());
        ASSERT_EQ(system->CommitTrans(), 0);
    }

    // A repository row and its four folders, as repositories are created.
    int MakeRepo(const std::wstring& name, const std::wstring& dir) {
        ZUBDB::QVParams v(false);
        v.AddParam(0, L"Name", name, false, false, L"=");
        v.AddParam(1, L"Server", FileServer(), false, false, L"=");
        v.AddParam(2, L"Port", 0, false, L"=");
        v.AddParam(3, L"Directory", dir, false, false, L"=");
        v.AddParam(4, L"CreatorId", 1, false, L"=");
        v.AddParam(5, L"CreateTime", L"getdate()", true, false, L"=");
        v.AddParam(6, L"VersionStraId", 1, false, L"=");
        EXPECT_EQ(raw_->InsertRow(L"QV_DMRepo", v, L"", L""), 0) << raw_->errDescription();
        EXPECT_EQ(raw_->CommitTrans(), 0);
        NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
        for (const wchar_t* sub : {L"", L"\\trunk", L"\\baseline", L"\\history"})
            EXPECT_EQ(cmd->mk(FileServer(), 0, dir + sub, false), 0);
        return static_cast<int>(raw_->LastInsertId());
    }

    // Runs a select on the store; the caller reads the rows.
    std::unique_ptr<ZUBDB::CDBRecordset> Query(const std::wstring& table,
                                               const std::wstring& columns,
                                               const std::wstring& column = L"",
                                               long long value = 0,
                                               const std::wstring& order = L"") {
        ZUBDB::QVParams cond(false);
        if (!column.empty()) cond.AddParam(0, column, value, false, L"=");
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        EXPECT_EQ(raw_->SelectRows(rs, table, columns, cond, order, L"", L"", 0, 0), 0)
            << raw_->errDescription();
        return rs;
    }
    long Count(const std::wstring& table, const std::wstring& column = L"", long long value = 0) {
        auto rs = Query(table, L"count(*)", column, value);
        return rs ? rs->GetIntAt(0) : -1;
    }
    void Exec(const std::wstring& table, const std::wstring& column, long long value,
              const std::wstring& whereColumn, long long whereValue) {
        ZUBDB::QVParams v(false);
        v.AddParam(0, column, value, false, L"=");
        ZUBDB::QVParams c(false);
        c.AddParam(0, whereColumn, whereValue, false, L"=");
        ASSERT_EQ(raw_->UpdateRows(table, v, c, L"", L""), 0);
        ASSERT_EQ(raw_->CommitTrans(), 0);
    }

    // Where the local file server keeps a server path of repository 1.
    fs::path OnServer(const std::string& relative) const {
        return root_ / "D" / "repo1" / relative;
    }

    // The names in a folder of repository 1 on the server's disk.
    std::set<std::string> NamesOnServer(const std::string& relative) const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(OnServer(relative))) {
            // Where Apache's WebDAV keeps its properties: the server's, not the tree's.
            if (e.path().filename() == ".DAV") continue;
            names.insert(e.path().filename().string());
        }
        return names;
    }

    fs::path WriteLocal(const std::string& name, const std::string& content) {
        const fs::path p = local_ / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    static std::string ReadFile(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::path LocalDir(const std::string& name) {
        const fs::path p = local_ / name;
        fs::create_directories(p);
        return p;
    }

    // Made in SetUp and dropped in TearDown, so a test may start afresh by
    // calling both.
    Backend backend_ = Backend::Embedded;
    std::wstring davServer_;
    std::optional<zub::testsupport::TempDir> dir_;
    fs::path base_;
    fs::path store_;
    fs::path root_;
    fs::path local_;
    std::unique_ptr<ZUBDB::CDBAccessor> raw_;
    int repoId_ = 0;
};

}  // namespace zub::docvault::test
