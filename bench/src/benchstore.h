// A fresh embedded store for the benchmarks: the two databases, the file
// server's root, repositories made through the library, and bulk seeding of
// documents (rows in one transaction, files written straight under the root)
// for the listings and the scaling points.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class BO;
namespace ZUBDB {
class SqliteDb;
}

namespace zub::bench {

class BenchStore {
public:
    static constexpr int kSystemUser = 1;  // "system", made with the store

    // Creates the store in `dir`, which must not hold one yet.
    static void Create(const std::filesystem::path& dir);
    explicit BenchStore(std::filesystem::path dir);

    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path ProductDbFile() const { return dir_ / "QVData.sqlite3"; }
    std::filesystem::path FilesRoot() const { return dir_ / "files"; }
    std::wstring FileServer() const;
    // Connects a business object to the product database; throws on failure.
    void Connect(BO& bo) const;

    // A repository with root directory "\<name>" on this store's file server.
    int CreateRepository(const std::string& name) const;
    // Local folder that holds the repository's current files.
    std::filesystem::path TrunkDir(const std::string& repoName) const;
    std::filesystem::path HistoryDir(const std::string& repoName) const;

    // `count` documents "<prefix>NNNNNN.bin" of `bytes` each, spread over 100
    // sub-folders (phyUrl "\dNN"), in one transaction.
    void Seed(ZUBDB::SqliteDb& db, int repoId, const std::string& repoName, int count,
              std::uint64_t bytes, const std::string& prefix) const;

    // `count` history rows (revisions 1..count) for a document, as that many
    // check-ins would leave them, and the document's version moved on to match.
    void SeedHistory(ZUBDB::SqliteDb& db, int docId, int count) const;

private:
    std::filesystem::path dir_;
};

}  // namespace zub::bench
