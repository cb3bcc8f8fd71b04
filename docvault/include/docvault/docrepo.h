// A document repository: one row of QV_DMRepo plus a directory tree on a file
// server (root, \trunk, \baseline, \history).
#pragma once

#include <string>
#include <utility>

#include "docvault/bo.h"

namespace DRM {

class RepoFiles;

class DocRepo : public BO {
public:
    // Results of Create.
    static constexpr int kCreated = 0;
    static constexpr int kOverlaps = 1;
    static constexpr int kDirFailed = 2;
    static constexpr int kRowFailed = 3;

    DocRepo();
    // Keyed by name; creator, creator name, description and time stay empty.
    DocRepo(int id, std::wstring name, std::wstring nfsServer, int port, std::wstring rootDir,
            int versionStraId);
    DocRepo(const DocRepo& other) = default;
    DocRepo& operator=(const DocRepo& other) = default;
    ~DocRepo() override = default;

    int id() const { return id_; }
    void set_id(int v) { id_ = v; }
    std::wstring name() const { return name_; }
    void set_name(std::wstring v) { name_ = std::move(v); }
    std::wstring desc() const { return desc_; }
    void set_desc(std::wstring v) { desc_ = std::move(v); }
    int creator() const { return creator_; }
    void set_creator(int v) { creator_ = v; }
    std::wstring creatorName() const { return creatorName_; }
    void set_creatorName(std::wstring v) { creatorName_ = std::move(v); }
    std::wstring nfsServer() const { return nfsServer_; }
    void set_nfsServer(std::wstring v) { nfsServer_ = std::move(v); }
    int nfsPort() const { return nfsPort_; }
    void set_port(int v) { nfsPort_ = v; }
    std::wstring nfsRootDir() const { return nfsRootDir_; }
    void set_nfsRootDir(std::wstring v) { nfsRootDir_ = std::move(v); }
    double createdTime() const { return createdTime_; }
    void set_createdTime(double v) { createdTime_ = v; }
    int versionStraId() const { return versionStraId_; }
    void set_versionStraId(int v) { versionStraId_ = v; }

    // Overlap check, directories, row (and the creator's full rights), stopping
    // at the first failing step: kCreated, kOverlaps, kDirFailed or kRowFailed.
    // A root directory that is empty, or spelled with a "." or ".." segment,
    // a doubled separator or a '/', fails the check with 49610 recorded.
    int Create();
    int Read(int id);
    // Stores the name.
    int updateBaseInfo();
    // Removes the directory tree, then the rows that refer to the repository.
    // A tree that is already gone while the row still names it (an earlier
    // Delete whose row removal failed) counts as removed.
    int Delete();
    // Copies the working files (\trunk) into localDir.
    int BackUp(const std::wstring& localDir);
    int SaveVersionStra();

    // The disk the repository's files take on its file server: `stored`
    // counts the bytes of files that share them (a baseline's hard links,
    // the history entry a check-in moved) once; `full` counts every file as
    // if it were a copy of its own. Equal where the server cannot tell which
    // files share their bytes.
    struct DiskUse {
        long long files = 0;
        long long stored = 0;
        long long full = 0;
    };
    int GetDiskUse(DiskUse& use);

    // The smallest whole number not below the highest current version of the
    // repository's documents, as "%.10f"; empty when the query failed.
    std::wstring GetNextMainVersion();

private:
    int CheckExist();
    int CreateDirOnServer();
    int Save();
    int Remove();
    // Whether the row with this id still names this object's file server,
    // port and directory; a status, the answer in `names`.
    int RowNamesThisTree(bool& names);
    // Err::kTreeShared (recorded) when another row's tree is, holds or lies in this one's.
    int RefuseSharedTree();
    std::wstring GetUserNameW(int userId);
    int GrantCreatorRights();
    // Fetches R\\trunk into a fresh folder beside localDir and moves it into
    // place only when complete.
    int CopyTrunkInto(RepoFiles& files, const std::wstring& localDir);

    int id_ = 0;
    std::wstring name_;
    std::wstring desc_;
    int creator_ = 0;
    std::wstring creatorName_;
    std::wstring nfsServer_;
    int nfsPort_ = 0;
    std::wstring nfsRootDir_;
    double createdTime_ = 0.0;
    int versionStraId_ = 1;
};

}  // namespace DRM
