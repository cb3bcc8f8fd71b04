// What a file-server backend implements. Failures are thrown as NfsError;
// CNFS_Cmd turns them into its number/text convention.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace NFS {

class NfsError : public std::runtime_error {
public:
    NfsError(long number, const std::wstring& text);
    long number() const { return number_; }
    const std::wstring& text() const { return text_; }

private:
    long number_;
    std::wstring text_;
};

// A temporary entry a transfer left behind when its process died.
struct NfsDebris {
    std::wstring path;  // server path
    std::uint64_t bytes = 0;
    bool folder = false;
};

// The content sum of one transfer: SHA-256 as 64 lower-case hex digits.
// `expect`, when not empty, is compared with the bytes as they are read; on a
// difference the transfer fails (NFS_E_CONTENT) and writes nothing. `sha256`
// receives the sum of what moved, or stays empty when the backend computes none.
// `expectBytes`, when not negative, is the size the file must have: a file of
// another size fails (NFS_E_CONTENT) before a byte moves. `bytes` receives the
// size of what moved, or stays -1 with the sum.
struct ContentSum {
    std::wstring expect;
    std::wstring sha256;
    std::int64_t expectBytes = -1;
    std::int64_t bytes = -1;
};

// One file of a folder copy or download: its path below the folder (parts
// joined by '\\'), SHA-256 and size.
struct NfsFileSum {
    std::wstring path;
    std::wstring sha256;
    std::uint64_t bytes = 0;
};

// An entry found by listFolder.
struct NfsEntry {
    std::wstring path;  // below the listed folder, parts joined by '\\'
    std::uint64_t bytes = 0;
    bool folder = false;
    // A file that can be written to (stored files never can). False where the
    // server keeps no permissions.
    bool writable = false;
    // Where the bytes lie: files with one non-zero (device, node) pair share
    // them. Zero where the server cannot tell.
    std::uint64_t device = 0;
    std::uint64_t node = 0;
    // Last written, in seconds since 1970 (UTC); 0 where the server does not tell.
    std::int64_t modified = 0;
};

// How shareFolder made each file of its tree: the trunk's file itself under a
// second name, a copy-on-write clone of its blocks, or a copy of its bytes.
struct NfsShareCount {
    std::uint64_t linked = 0;
    std::uint64_t cloned = 0;
    std::uint64_t copied = 0;
};

// The exclusive hold a process keeps on a file or folder of the server while
// it works there; let go when destroyed (or when the process dies).
class NfsHold {
public:
    virtual ~NfsHold() = default;
};

class NfsBackend {
public:
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;
    virtual ~NfsBackend() = default;

    virtual void logIn(const std::wstring& user, const std::wstring& password) = 0;
    virtual void mk(const std::wstring& dir) = 0;
    virtual void rm(const std::wstring& dir) = 0;
    // A folder one operation works in, made and removed without a sync of its
    // parent. On ext4 and xfs, which journal names in the order they change,
    // the sync of what the operation then writes into it commits its making
    // too; a removal a crash undoes leaves debris a repository check clears.
    // Backends that cannot tell the difference make and remove it as usual.
    virtual void mkWork(const std::wstring& dir) { mk(dir); }
    virtual void rmWork(const std::wstring& dir) { rm(dir); }
    // upload to a new file in such a folder, which nobody reads before the
    // operation names it: written in place and synced alone (its name and its
    // folder's making are journalled before it), removed when it fails.
    virtual std::uint64_t uploadWork(const std::wstring& localFile, const std::wstring& remoteFile,
                                     const Progress& progress, ContentSum& sum) {
        return upload(localFile, remoteFile, progress, sum);
    }
    // renameFile for a move that a later synced rename on the same file system
    // makes durable with it: the journal keeps their order, so a crash keeps
    // neither, the first, or both.
    virtual void renameFileUnsynced(const std::wstring& oldPath, const std::wstring& newPath) {
        renameFile(oldPath, newPath);
    }
    virtual void delFile(const std::wstring& file) = 0;
    virtual std::uint64_t upload(const std::wstring& localFile, const std::wstring& remoteFile,
                                 const Progress& progress) = 0;
    virtual std::uint64_t download(const std::wstring& remoteFile, const std::wstring& localDir,
                                   const std::wstring& localName, const Progress& progress) = 0;
    virtual std::uint64_t downLoadFolder(const std::wstring& remoteDir,
                                         const std::wstring& localDir,
                                         const Progress& progress) = 0;
    virtual void copy(const std::wstring& source, const std::wstring& target) = 0;
    virtual void copyFolder(const std::wstring& source, const std::wstring& target) = 0;
    // The same with progress: bytes done of the file's size or of the whole
    // tree's, planned before the first byte moves. A backend that cannot count
    // need not override these; they then copy without reporting.
    virtual void copy(const std::wstring& source, const std::wstring& target,
                      const Progress& /*progress*/) {
        copy(source, target);
    }
    virtual void copyFolder(const std::wstring& source, const std::wstring& target,
                            const Progress& /*progress*/) {
        copyFolder(source, target);
    }
    // The same with the content sum. A backend that computes none need not
    // override these: they then move the bytes unchecked and leave the sum
    // empty (an expected sum is then refused, never silently skipped).
    virtual std::uint64_t upload(const std::wstring& localFile, const std::wstring& remoteFile,
                                 const Progress& progress, ContentSum& sum);
    virtual std::uint64_t download(const std::wstring& remoteFile, const std::wstring& localDir,
                                   const std::wstring& localName, const Progress& progress,
                                   ContentSum& sum);
    virtual void copy(const std::wstring& source, const std::wstring& target,
                      const Progress& progress, ContentSum& sum);
    // copyFolder recording every copied file's sum and size as it streams;
    // downLoadFolder checking each file against `expect` as it streams: a
    // file that differs, one not listed, or a listed one missing fails the
    // download (NFS_E_CONTENT, NFS_E_NOT_FOUND) and the differing file is not
    // written. A backend that computes no sums refuses (NFS_E_INVALID).
    virtual void copyFolder(const std::wstring& source, const std::wstring& target,
                            const Progress& progress, std::vector<NfsFileSum>& sums);
    virtual std::uint64_t downLoadFolder(const std::wstring& remoteDir,
                                         const std::wstring& localDir, const Progress& progress,
                                         const std::vector<NfsFileSum>& expect);
    // copyFolder for stored files, which are never changed in place: each
    // file of the new tree may share its bytes with its source (a hard link,
    // a clone) instead of copying them; `how` counts which was made. `files`
    // receives every file's path and size, and its sum where the bytes were
    // read (empty otherwise). A backend that cannot share copies: this
    // default is copyFolder with sums, every file counted as copied.
    virtual void shareFolder(const std::wstring& source, const std::wstring& target,
                             const Progress& progress, std::vector<NfsFileSum>& files,
                             NfsShareCount& how);
    // Takes the write permission away from a stored file. A server without
    // permissions has none to take: the default does nothing.
    virtual void seal(const std::wstring& /*file*/) {}
    // Reads the file whole: its sum and size.
    virtual std::uint64_t checksum(const std::wstring& file, std::wstring& sha256);
    // Every file and folder below `dir`, depth first, in name order;
    // temporaries of running or dead transfers are left out. A backend that
    // cannot list refuses (NFS_E_INVALID).
    virtual std::vector<NfsEntry> listFolder(const std::wstring& dir);
    // Abandoned temporaries below `dir` ("" for the whole server), removed
    // too when `remove`. Never one a running transfer holds. A backend
    // without temporaries of its own has none.
    virtual std::vector<NfsDebris> debris(const std::wstring& /*dir*/, bool /*remove*/) {
        return {};
    }
    // The same, leaving alone (neither listed nor removed) every entry whose
    // server path `keep` accepts. A backend that does not override it lists
    // as above and removes only when nothing listed is to be kept.
    using Keep = std::function<bool(const std::wstring& path)>;
    virtual std::vector<NfsDebris> debris(const std::wstring& dir, bool remove, const Keep& keep);
    // Takes the hold on the file or folder `path` (which must be there):
    // null when another holder keeps it. A backend that cannot hold refuses
    // (NFS_E_INVALID).
    virtual std::unique_ptr<NfsHold> hold(const std::wstring& path);
    virtual void renameFile(const std::wstring& oldPath, const std::wstring& newPath) = 0;
    virtual void renameFolder(const std::wstring& oldPath, const std::wstring& newPath) = 0;

    // Where a server path ("" for the root) lands, named so that every
    // spelling of one place gives one text, and a place inside another is
    // that text followed by '/' and more: "scheme:" and a '/'-separated path.
    // Empty when the backend cannot tell.
    virtual std::wstring where(const std::wstring& /*path*/) { return {}; }
    // The owner text of the root (see vaultfs/rootowner.h); empty when it
    // has none or the backend keeps none.
    virtual std::wstring owner() { return {}; }
    // Replaces the root's owner. A backend that keeps none refuses.
    virtual void setOwner(const std::wstring& owner);
};

}  // namespace NFS
