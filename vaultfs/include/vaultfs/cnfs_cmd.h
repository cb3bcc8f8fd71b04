// The file-server client. One process-wide command object; every call names
// the server and port. The server text picks a backend by scheme ("file:DIR":
// a local directory tree rooted at DIR). Server paths use '\'.
//
// Every operation but Instance, logIn, GetLastError and GetErrorNumber returns
// 0 on success, else non-zero; the failure's number and text (naming the
// operation and the path) stay readable on the calling thread until its next
// failure. The numbers are listed in vaultfs/nfserrors.h; the text reads
// "<operation>: <what went wrong>", naming the path. The bool flags of mk,
// upload, download and downLoadFolder are not used. A failed transfer
// reports a count of 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"

namespace NFS {

class CNFS_Cmd {
public:
    static CNFS_Cmd* Instance();

    int logIn(const std::wstring& server, unsigned short port, const std::wstring& empty,
              const std::wstring& user, const std::wstring& password);
    int mk(const std::wstring& server, unsigned short port, const std::wstring& dir, bool flag);
    int rm(const std::wstring& server, unsigned short port, const std::wstring& dir);
    // A folder one operation works in and the file it writes there
    // (NfsBackend::mkWork, rmWork, uploadWork).
    int mkWork(const std::wstring& server, unsigned short port, const std::wstring& dir);
    int rmWork(const std::wstring& server, unsigned short port, const std::wstring& dir);
    int uploadWork(const std::wstring& server, unsigned short port, const std::wstring& localFile,
                   const std::wstring& remoteFile, std::uint64_t& count, ContentSum& sum);
    int delFile(const std::wstring& server, unsigned short port, const std::wstring& file);
    // count: bytes moved.
    int upload(const std::wstring& server, unsigned short port, const std::wstring& localFile,
               const std::wstring& remoteFile, std::uint64_t& count, bool flag);
    int download(const std::wstring& server, unsigned short port, const std::wstring& remoteFile,
                 const std::wstring& localDir, const std::wstring& localName, std::uint64_t& count,
                 bool flag);
    int downLoadFolder(const std::wstring& server, unsigned short port,
                       const std::wstring& remoteDir, const std::wstring& localDir,
                       std::uint64_t& count, bool flag);
    int copy(const std::wstring& server, unsigned short port, const std::wstring& source,
             const std::wstring& target);
    int copyFolder(const std::wstring& server, unsigned short port, const std::wstring& source,
                   const std::wstring& target);
    // The same with the SHA-256 of the bytes (see NFS::ContentSum): a
    // non-empty sum.expect is checked as the bytes stream and a difference
    // fails with NFS_E_CONTENT, leaving no new file at the target; sum.sha256
    // receives the sum of what moved (empty on failure, or when the backend
    // computes none).
    int upload(const std::wstring& server, unsigned short port, const std::wstring& localFile,
               const std::wstring& remoteFile, std::uint64_t& count, bool flag, ContentSum& sum);
    int download(const std::wstring& server, unsigned short port, const std::wstring& remoteFile,
                 const std::wstring& localDir, const std::wstring& localName, std::uint64_t& count,
                 bool flag, ContentSum& sum);
    int copy(const std::wstring& server, unsigned short port, const std::wstring& source,
             const std::wstring& target, ContentSum& sum);
    // The folder operations with the sum and size of every file (see
    // NfsBackend::copyFolder and downLoadFolder); `sums` is empty on failure.
    int copyFolder(const std::wstring& server, unsigned short port, const std::wstring& source,
                   const std::wstring& target, std::vector<NfsFileSum>& sums);
    int downLoadFolder(const std::wstring& server, unsigned short port,
                       const std::wstring& remoteDir, const std::wstring& localDir,
                       std::uint64_t& count, bool flag, const std::vector<NfsFileSum>& expect);
    // copyFolder for stored files: the new tree may share the source files'
    // bytes (see NfsBackend::shareFolder). `files` and `how` are empty on failure.
    int shareFolder(const std::wstring& server, unsigned short port, const std::wstring& source,
                    const std::wstring& target, std::vector<NfsFileSum>& files, NfsShareCount& how);
    // Takes the write permission away from a stored file (NfsBackend::seal).
    int seal(const std::wstring& server, unsigned short port, const std::wstring& file);
    // Reads a stored file whole: its SHA-256 and its size in bytes.
    int checksum(const std::wstring& server, unsigned short port, const std::wstring& file,
                 std::wstring& sha256, std::uint64_t& count);
    int renameFile(const std::wstring& server, unsigned short port, const std::wstring& oldPath,
                   const std::wstring& newPath);
    // A move a later synced one makes durable (NfsBackend::renameFileUnsynced).
    int renameFileUnsynced(const std::wstring& server, unsigned short port,
                           const std::wstring& oldPath, const std::wstring& newPath);
    int renameFolder(const std::wstring& server, unsigned short port, const std::wstring& oldPath,
                     const std::wstring& newPath);

    // Every file and folder below `dir` (see NfsBackend::listFolder).
    int listFolder(const std::wstring& server, unsigned short port, const std::wstring& dir,
                   std::vector<NfsEntry>& entries);
    // Temporaries that transfers of dead processes left below `dir` ("" for
    // the whole server); removeDebris deletes them and reports what went.
    // What a running transfer writes is never listed nor removed.
    int listDebris(const std::wstring& server, unsigned short port, const std::wstring& dir,
                   std::vector<NfsDebris>& found);
    int removeDebris(const std::wstring& server, unsigned short port, const std::wstring& dir,
                     std::vector<NfsDebris>& removed);
    // The same, sparing every entry whose server path `keep` accepts (a file
    // a caller's records name, whatever it looks like).
    int listDebris(const std::wstring& server, unsigned short port, const std::wstring& dir,
                   std::vector<NfsDebris>& found, const NfsBackend::Keep& keep);
    int removeDebris(const std::wstring& server, unsigned short port, const std::wstring& dir,
                     std::vector<NfsDebris>& removed, const NfsBackend::Keep& keep);

    // Takes the hold on a file or folder that marks a running process's work
    // on it (NfsBackend::hold); `held` stays empty while another keeps it.
    int hold(const std::wstring& server, unsigned short port, const std::wstring& path,
             std::unique_ptr<NfsHold>& held);
    // Whether a name is one the server gives its own temporaries.
    static bool IsTemporaryName(const std::wstring& name);

    // Where a server path ("" for the root) lands, as the backend names it:
    // two spellings of one place give one text, and a place inside another
    // is that text, '/' and more (see NfsBackend::where). Fails with
    // NFS_E_INVALID when the backend cannot tell.
    int where(const std::wstring& server, unsigned short port, const std::wstring& path,
              std::wstring& location);
    // The owner text of the server's root (vaultfs/rootowner.h), empty when
    // it has none; claimRoot replaces it (a login is needed).
    int rootOwner(const std::wstring& server, unsigned short port, std::wstring& owner);
    int claimRoot(const std::wstring& server, unsigned short port, const std::wstring& owner);

    // *text receives a copy the caller frees with FreeText (null when no failure).
    void GetLastError(wchar_t** text);
    static void FreeText(wchar_t* text);
    long GetErrorNumber();

    // Backends by scheme (without the colon); tests register their own.
    using Factory =
        std::function<std::unique_ptr<NfsBackend>(const std::wstring& server, unsigned short port)>;
    void RegisterBackend(const std::wstring& scheme, Factory factory);
    void UnregisterBackend(const std::wstring& scheme);

    // Progress of upload, download, downLoadFolder, copy and copyFolder (bytes
    // done, bytes expected; expected 0 when unknown). The folder operations
    // count against the whole tree, planned before the first byte moves.
    // Process-wide; empty to switch off. A callback that throws aborts the
    // transfer, which then fails like any other.
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;
    void SetProgress(Progress progress);
    // The same, told which operation reports (L"upload", L"copy", ...), so one
    // library call that makes several transfers can show them apart. Replaces
    // the callback of SetProgress and the other way round.
    using OperationProgress =
        std::function<void(std::wstring_view operation, std::uint64_t done, std::uint64_t total)>;
    void SetOperationProgress(OperationProgress progress);

private:
    CNFS_Cmd();
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace NFS
