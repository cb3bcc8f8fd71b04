// The embedded file server: a local folder tree. Server "file:DIR" roots it at
// DIR, which must exist.
//
// Behaviour worth knowing:
// - Paths: '\' or '/' separate; leading separators and "." are ignored; a
//   leading drive "x:" is the folder "X" below the root; ".." is refused, as is
//   every path that a link inside the root would lead out of it. The root
//   itself is not a valid argument.
// - Files are streamed in chunks, never held whole in memory. Every file
//   written (upload, copy, download, each file of downLoadFolder) goes to a
//   temporary name in its folder, is synced and then renamed over the target:
//   a failed transfer leaves the previous file as it was and no temporary.
// - upload and copy create the target's missing folders and replace an
//   existing file; a folder at the target is an error.
// - copyFolder(source, target): an existing folder `target` receives the copy
//   as target\<last part of source>; a missing `target` becomes the copy
//   itself. The copy is built under a temporary name and appears whole or not
//   at all; an existing destination is never merged into or replaced.
// - Stored files (upload, copy, copyFolder, shareFolder) are written without
//   write permission and never changed in place: they are only created
//   whole, renamed or removed. shareFolder therefore gives each new file the
//   source's bytes by a hard link; where the file system refuses one (another
//   file system, no hard links, too many links) by a clone (FICLONE); where
//   that fails too by a copy. Downloads are always copies of their own.
// - listFolder tells a file that can be written and which files share
//   their bytes (one device and inode).
// - renameFile and renameFolder never replace an existing target.
// - downLoadFolder copies the folder's content into the local folder (made
//   when missing), replacing files of the same name.
// - Links inside copied trees are followed while they stay inside the root;
//   pipes, sockets and devices make the copy fail.
// - Login: a root that keeps a password (vaultfs/rootpassword.h) serves
//   nothing before a logIn with its user and password; a refused logIn makes
//   every later operation fail with NFS_E_LOGIN until a logIn succeeds. A
//   root without one serves everyone.
// - Downloads land in the local folder by rename but are not synced: the
//   server keeps the data.
// - hold takes an flock on the entry: a process that dies lets go at once.
// - debris lists and removes the temporaries of transfers whose process
//   died (see the flock rule of AtomicFile).
// - Owner: the root may name the store that owns it (vaultfs/rootowner.h);
//   anyone may read it, only a logged-in user may replace it.
// - upload, download and copy with a ContentSum hash the bytes as they pass
//   (read here, hashed on a second thread while written); an expected sum
//   that differs fails the transfer before its file is committed.
// - Transfers and copies report bytes done against the size of the file, or
//   of the whole tree as planned before copying. A progress callback that
//   throws aborts the transfer like any failure.
#pragma once

#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>

#include "vaultfs/nfsbackend.h"
#include "zub/storemode.h"

namespace NFS {

class RootMap;
class StreamCopier;

class LocalBackend : public NfsBackend {
public:
    struct Options {
        std::size_t chunkSize = std::size_t{1} << 20;  // bytes moved per step
        bool kernelCopy = true;  // let the kernel copy between files when it can
        // Files written go to the disk as they are written and leave the page
        // cache once there: a large transfer does not wait for one long flush
        // at its end, nor pay for filling the cache with fresh pages. Up to 32
        // chunks are in flight; an upload also flushes every 32 chunks.
        bool writeBehind = true;
        // How shareFolder shares a file, like link(2) and ioctl(FICLONE):
        // 0, or -1 with errno. Null for the system's; tests make them fail.
        int (*hardLink)(const char* from, const char* to) = nullptr;
        int (*clone)(int in, int out) = nullptr;
    };

    explicit LocalBackend(std::filesystem::path root);
    LocalBackend(std::filesystem::path root, Options options);

    const std::filesystem::path& root() const { return root_; }
    // The user of the last logIn (empty before any).
    std::wstring user() const;

    void logIn(const std::wstring& user, const std::wstring& password) override;
    void mk(const std::wstring& dir) override;
    void rm(const std::wstring& dir) override;
    void mkWork(const std::wstring& dir) override;
    void rmWork(const std::wstring& dir) override;
    std::uint64_t uploadWork(const std::wstring& localFile, const std::wstring& remoteFile,
                             const Progress& progress, ContentSum& sum) override;
    void renameFileUnsynced(const std::wstring& oldPath, const std::wstring& newPath) override;
    void delFile(const std::wstring& file) override;
    std::uint64_t upload(const std::wstring& localFile, const std::wstring& remoteFile,
                         const Progress& progress) override;
    std::uint64_t download(const std::wstring& remoteFile, const std::wstring& localDir,
                           const std::wstring& localName, const Progress& progress) override;
    std::uint64_t downLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress& progress) override;
    void copy(const std::wstring& source, const std::wstring& target) override;
    void copyFolder(const std::wstring& source, const std::wstring& target) override;
    void copy(const std::wstring& source, const std::wstring& target,
              const Progress& progress) override;
    void copyFolder(const std::wstring& source, const std::wstring& target,
                    const Progress& progress) override;
    std::unique_ptr<NfsHold> hold(const std::wstring& path) override;
    std::uint64_t upload(const std::wstring& localFile, const std::wstring& remoteFile,
                         const Progress& progress, ContentSum& sum) override;
    std::uint64_t download(const std::wstring& remoteFile, const std::wstring& localDir,
                           const std::wstring& localName, const Progress& progress,
                           ContentSum& sum) override;
    void copy(const std::wstring& source, const std::wstring& target, const Progress& progress,
              ContentSum& sum) override;
    void copyFolder(const std::wstring& source, const std::wstring& target,
                    const Progress& progress, std::vector<NfsFileSum>& sums) override;
    std::uint64_t downLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress& progress,
                                 const std::vector<NfsFileSum>& expect) override;
    void shareFolder(const std::wstring& source, const std::wstring& target,
                     const Progress& progress, std::vector<NfsFileSum>& files,
                     NfsShareCount& how) override;
    void seal(const std::wstring& file) override;
    std::uint64_t checksum(const std::wstring& file, std::wstring& sha256) override;
    void renameFile(const std::wstring& oldPath, const std::wstring& newPath) override;
    void renameFolder(const std::wstring& oldPath, const std::wstring& newPath) override;
    std::vector<NfsEntry> listFolder(const std::wstring& dir) override;
    std::vector<NfsDebris> debris(const std::wstring& dir, bool remove) override;
    // "file:" and the real path, links resolved as far as they exist.
    std::wstring where(const std::wstring& path) override;
    std::wstring owner() override;
    void setOwner(const std::wstring& owner) override;
    std::vector<NfsDebris> debris(const std::wstring& dir, bool remove, const Keep& keep) override;

private:
    enum class Login { None, Accepted, Refused };
    // Throws unless this root may be used: logged in, or open to everyone.
    void Authorize() const;

    // sum: null for a plain transfer (the kernel may copy), else summed.
    // inPlace: written under its own name and synced alone (an operation's
    // private staging file), else through a temporary renamed into place.
    std::uint64_t Upload(const std::wstring& localFile, const std::wstring& remoteFile,
                         const Progress& progress, ContentSum* sum, bool inPlace);
    std::uint64_t Download(const std::wstring& remoteFile, const std::wstring& localDir,
                           const std::wstring& localName, const Progress& progress,
                           ContentSum* sum);
    void Copy(const std::wstring& source, const std::wstring& target, const Progress& progress,
              ContentSum* sum);
    // sums / expect: null for a plain transfer. With `share` the files are
    // shared where they can be, and counted there; `sums` is then needed.
    void CopyFolder(const std::wstring& source, const std::wstring& target,
                    const Progress& progress, std::vector<NfsFileSum>* sums,
                    NfsShareCount* share = nullptr);
    // One file of shareFolder, made at `to`; returns its size.
    std::uint64_t ShareFile(const std::filesystem::path& from, const std::filesystem::path& to,
                            const std::wstring& name, const zub::StoreMode& store, NfsFileSum& file,
                            NfsShareCount& how) const;
    std::uint64_t DownLoadFolder(const std::wstring& remoteDir, const std::wstring& localDir,
                                 const Progress& progress, const std::vector<NfsFileSum>* expect);
    void Rename(const std::wstring& oldPath, const std::wstring& newPath, bool folder,
                bool sync = true);
    void Mk(const std::wstring& dir, bool sync);
    void Rm(const std::wstring& dir, bool sync);
    // flushAhead: for a user's file written into the store (see StreamCopier).
    StreamCopier Copier(bool flushAhead = false) const;

    std::filesystem::path root_;
    Options options_;
    mutable std::mutex mutex_;
    std::wstring user_;
    Login login_ = Login::None;
};

}  // namespace NFS
