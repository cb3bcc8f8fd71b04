// The modes of what a store creates. A store is private to its owner (folders
// 0700, files 0600) or shared with the group of its folder (set-group-id
// folders 02770, files 0660): the folder it lies in says which, by granting
// its group write access. Nothing of a store is ever readable by others, and
// modes are set explicitly, so that no umask of any writer loosens them.
#pragma once

#include <sys/types.h>

#include <filesystem>

namespace zub {

class StoreMode {
public:
    static StoreMode Private() { return StoreMode(false); }
    static StoreMode Group() { return StoreMode(true); }
    // The policy of a folder with this mode.
    static StoreMode ForFolderMode(mode_t folderMode);
    // The policy of the existing folder `folder` (private when it cannot be read).
    static StoreMode Of(const std::filesystem::path& folder);

    bool shared() const { return shared_; }
    mode_t file() const { return shared_ ? 0660 : 0600; }
    mode_t folder() const { return shared_ ? 02770 : 0700; }
    // Permission bits of an existing entry that this policy does not grant.
    mode_t Excess(mode_t mode, bool folder) const;

    // Makes `dir` and its missing parents with the folder mode (existing ones
    // are left as they are). Throws std::filesystem::filesystem_error.
    void MakeFolders(const std::filesystem::path& dir) const;
    // Sets the folder mode on one folder / the file mode on an open file.
    void SetFolder(const std::filesystem::path& dir) const;
    void SetFile(int fd, const std::filesystem::path& path) const;

private:
    explicit StoreMode(bool shared) : shared_(shared) {}
    bool shared_;
};

}  // namespace zub
