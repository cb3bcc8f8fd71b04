#include "benchstore.h"

#include <cstdio>
#include <stdexcept>

#include "dbcore/embeddedstore.h"
#include "docvault/bo.h"
#include "docvault/docrepo.h"
#include "filemaker.h"
#include "sqlitedb.h"
#include "sqlitestatement.h"
#include "vaultschema/productstore.h"
#include "zub/oledate.h"
#include "zub/text.h"

namespace zub::bench {

namespace fs = std::filesystem;

namespace {

std::string Utf8(const std::wstring& w) { return zub::WideToUtf8(w); }

}  // namespace

void BenchStore::Create(const fs::path& dir) {
    std::wstring error;
    if (zub::vaultschema::ProductStore::Create(
            dir.string(), zub::vaultschema::ProductStore::kDefaultProductDb, error) != 0)
        throw std::runtime_error("cannot create the store in " + dir.string() + ": " + Utf8(error));
    fs::create_directories(dir / "files");
}

BenchStore::BenchStore(fs::path dir) : dir_(std::move(dir)) {}

std::wstring BenchStore::FileServer() const { return L"file:" + FilesRoot().wstring(); }

void BenchStore::Connect(BO& bo) const {
    const int rc = bo.Connect(ZUBDB::EmbeddedLocator(dir_.string()), 0, L"QVData", L"");
    if (rc != 0 || !bo.IsConnected())
        throw std::runtime_error("cannot connect to the store: " + Utf8(bo.ErrDesc()));
}

int BenchStore::CreateRepository(const std::string& name) const {
    DRM::DocRepo repo;
    Connect(repo);
    repo.set_name(zub::Utf8ToWide(name));
    repo.set_nfsServer(FileServer());
    repo.set_port(0);
    repo.set_nfsRootDir(L"\\" + zub::Utf8ToWide(name));
    repo.set_creator(kSystemUser);
    const int rc = repo.Create();
    if (rc != 0)
        throw std::runtime_error("DocRepo::Create " + name + " returned " + std::to_string(rc) +
                                 ": " + Utf8(repo.ErrDesc()));
    return repo.id();
}

fs::path BenchStore::TrunkDir(const std::string& repoName) const {
    return FilesRoot() / repoName / "trunk";
}

fs::path BenchStore::HistoryDir(const std::string& repoName) const {
    return FilesRoot() / repoName / "history";
}

void BenchStore::Seed(ZUBDB::SqliteDb& db, int repoId, const std::string& repoName, int count,
                      std::uint64_t bytes, const std::string& prefix) const {
    const double now = zub::OleDateNow();
    ZUBDB::SqliteStatement insert(
        db,
        "INSERT INTO QV_DMDoc (DocRepoId, Name, Ext, phyUrl, CurrentVersion, CurrentState, "
        "CreatorId, CreatorName, DocCreateTime, LastOperatorId, LastOperatorName, "
        "LastOperateTime, CurrentOperatorId, CaxDocType, ContentSha256, ContentBytes) "
        "VALUES (?1, ?2, 'bin', ?3, '1.0', 0, ?4, 'system', ?5, ?4, 'system', ?5, 0, 0, ?6, ?7)");
    db.exec("BEGIN");
    try {
        for (int i = 0; i < count; ++i) {
            char name[64];
            char folder[16];
            std::snprintf(name, sizeof name, "%s%06d", prefix.c_str(), i);
            std::snprintf(folder, sizeof folder, "d%02d", i % 100);
            const fs::path dir = TrunkDir(repoName) / folder;
            if (i < 100) fs::create_directories(dir);
            const fs::path file = dir / (std::string(name) + ".bin");
            FileMaker::Write(file, bytes, static_cast<std::uint64_t>(repoId) * 1000003u + i);
            // As the library stores a document: its sum recorded, the file
            // never to be written again.
            fs::permissions(file, fs::perms::owner_read);

            insert.bind(1, static_cast<long long>(repoId));
            insert.bind(2, std::string_view(name));
            insert.bind(3, std::string("\\") + folder);
            insert.bind(4, static_cast<long long>(kSystemUser));
            insert.bind(5, now);
            insert.bind(6, FileMaker::Sha256(file));
            insert.bind(7, static_cast<long long>(bytes));
            insert.run();
        }
        db.exec("COMMIT");
    } catch (...) {
        db.exec("ROLLBACK");
        throw;
    }
}

void BenchStore::SeedHistory(ZUBDB::SqliteDb& db, int docId, int count) const {
    const double now = zub::OleDateNow();
    ZUBDB::SqliteStatement insert(
        db,
        "INSERT INTO QV_DMDocVer (DocId, DocName, OperatorId, OperatorName, OperatorTime, "
        "Action, OperateInfo, PhyUrl, Version_Main, Version_Sub, Revision) "
        "VALUES (?1, ?2, ?3, 'system', ?4, 1, 'seeded check-in', '\\history\\', 1, ?5, ?6)");
    ZUBDB::SqliteStatement update(db, "UPDATE QV_DMDoc SET CurrentVersion = ?1 WHERE DocId = ?2");
    db.exec("BEGIN");
    try {
        for (int i = 0; i < count; ++i) {
            insert.bind(1, static_cast<long long>(docId));
            insert.bind(2, std::to_string(docId) + "_1." + std::to_string(i) + ".bin");
            insert.bind(3, static_cast<long long>(kSystemUser));
            insert.bind(4, now);
            insert.bind(5, static_cast<long long>(i));
            insert.bind(6, static_cast<long long>(i + 1));
            insert.run();
        }
        update.bind(1, "1." + std::to_string(count));
        update.bind(2, static_cast<long long>(docId));
        update.run();
        db.exec("COMMIT");
    } catch (...) {
        db.exec("ROLLBACK");
        throw;
    }
}

}  // namespace zub::bench
