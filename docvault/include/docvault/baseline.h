// A baseline: a named frozen copy of a repository's trunk folder, kept as
// R\baseline\<name>, and one row of QV_DMBaseline.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "docvault/bo.h"

namespace NFS {
struct NfsFileSum;
}

namespace DRM {

class RepoFiles;
class StageFolder;

class BaseLine : public BO {
public:
    BaseLine() = default;
    // Leaves the key empty.
    BaseLine(int docRepoId, const std::wstring& name, const std::wstring& desc, double createdTime,
             int id);
    BaseLine(const BaseLine& other) = default;
    BaseLine& operator=(const BaseLine& other) = default;
    ~BaseLine() override = default;

    int docRepoId() const { return docRepoId_; }
    void set_docRepoId(int v) { docRepoId_ = v; }
    int id() const { return id_; }
    void set_id(int v) { id_ = v; }
    std::wstring name() const { return name_; }
    void set_name(std::wstring v) { name_ = std::move(v); }
    std::wstring desc() const { return desc_; }
    void set_desc(std::wstring v) { desc_ = std::move(v); }
    double createdTime() const { return createdTime_; }
    void set_createdTime(double v) { createdTime_ = v; }

    // How Create stored the trunk's files in the baseline: sharing the
    // trunk's own file (a hard link), a clone of its blocks, or a copy.
    struct Storage {
        long long linked = 0;
        long long cloned = 0;
        long long copied = 0;
    };

    // Freezes the trunk as R\baseline\<name> (its files shared with the
    // trunk's where the file server can), then stores the row and sets id.
    int Create();
    // What the last Create made of the trunk's files.
    const Storage& storage() const { return storage_; }
    // Removes the folder, then the row. A folder that is already gone while
    // the row still names it counts as removed.
    int Delete();
    // Fetches the baseline's folder tree into localDir.
    int DownLoad(const std::wstring& localDir);

private:
    // Copies the trunk into a staging folder of its own (`stage`); `copy`
    // holds the finished copy until its row commits. `sums`: every copied
    // file's sum and size (the sum of a shared file is its row's).
    int CreateDirOnServer(RepoFiles& files, StageFolder& stage, StageFolder& copy,
                          std::vector<NFS::NfsFileSum>& sums);
    // Names the staged copy and stores the row with its files' sums; the
    // copy goes on failure.
    int Save(RepoFiles& files, StageFolder& stage, StageFolder& copy,
             const std::vector<NFS::NfsFileSum>& sums);
    // Every document's current file is in the copy, with the content its
    // row records.
    // Files shared without being read take the sum their row records; any
    // other is read.
    int CheckEveryFileCopied(RepoFiles& files, const std::wstring& copy,
                             std::vector<NFS::NfsFileSum>& sums);
    int InsertFileSums(long long baseLineId, const std::vector<NFS::NfsFileSum>& sums);
    // The recorded files of this baseline; empty for one made before they
    // were recorded.
    int ReadFileSums(RepoFiles& files, std::vector<NFS::NfsFileSum>& sums);
    void RemoveFolder(RepoFiles& files, const std::wstring& folder);
    int RefuseTaken();
    // Refuses a name that is no single folder name below R\baseline.
    int CheckName();
    // Whether the row with this id is still this repository's baseline of
    // this name; a status, the answer in `names`.
    int RowNamesThisFolder(bool& names);

    int docRepoId_ = 0;
    int id_ = 0;
    std::wstring name_;
    std::wstring desc_;
    double createdTime_ = 0.0;
    Storage storage_;
};

}  // namespace DRM
