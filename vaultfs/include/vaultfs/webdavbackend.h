// The file server on a WebDAV server (Apache mod_dav, nginx dav-ext, ...).
// Server "http://HOST[:PORT][/BASE]" or "https://...", with the repository's
// port (0: the text's or the scheme's); "?cafile=PATH" names the certificates
// a private server's TLS is checked against instead of the system's.
//
// Behaviour worth knowing:
// - Server paths map to URL paths below BASE, every segment percent-encoded;
//   ".." and the names the local backend reserves are refused, so nothing
//   leaves BASE.
// - One connection (libcurl easy handle), reused by every request; calls of
//   several threads take turns.
// - upload PUTs to a temporary name beside the target, stores the content
//   sum beside it (PROPPATCH) and MOVEs it over the target only once whole:
//   a half-sent file is never visible under its name. download GETs into a
//   temporary local file renamed when complete.
// - copy and copyFolder are COPY requests done by the server: no file data
//   passes through the workstation. Their sums are those the uploads stored
//   (a file without one is read once to sum it); a folder copy is made under
//   a temporary name and MOVEd into place.
// - Login: HTTP Basic authentication with the user and password of logIn;
//   an answer 401 fails with NFS_E_LOGIN. TLS certificates are verified.
// - Redirects are never followed. Connect and stalled transfers time out;
//   an idempotent request whose connection dropped is sent again, a bounded
//   number of times.
// - The owner text lives in BASE/.vaultfs-owner, a name no server path
//   reaches. debris are not kept.
// - hold takes an exclusive WebDAV lock on a marker for the path in
//   BASE/.vaultfs-holds (never on the entry itself, which would stop the
//   holder's own writes there) and unlocks it when let go. The lock of a
//   process that died lapses after a day: until then its work counts as
//   running, which is the safe side.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "vaultfs/nfsbackend.h"

namespace NFS {

class DavClient;
struct DavEntry;
struct DavUrl;

class WebDavBackend : public NfsBackend {
public:
    struct Options {
        long connectSeconds = 10;
        long stallSeconds = 30;
        int retries = 2;
    };

    WebDavBackend(const std::wstring& server, unsigned short port);
    WebDavBackend(const std::wstring& server, unsigned short port, Options options);
    ~WebDavBackend() override;

    // HTTP requests sent so far, for measurements.
    std::uint64_t requests() const;
    // The same by HTTP method.
    std::map<std::string, std::uint64_t> requestsByMethod() const;
    // Request body bytes sent so far (file data and the requests' XML).
    std::uint64_t sentBytes() const;

    void logIn(const std::wstring& user, const std::wstring& password) override;
    void mk(const std::wstring& dir) override;
    void rm(const std::wstring& dir) override;
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
    std::uint64_t checksum(const std::wstring& file, std::wstring& sha256) override;
    void renameFile(const std::wstring& oldPath, const std::wstring& newPath) override;
    void renameFolder(const std::wstring& oldPath, const std::wstring& newPath) override;
    std::vector<NfsEntry> listFolder(const std::wstring& dir) override;
    // "http://host:port/base/..." decoded.
    std::wstring where(const std::wstring& path) override;
    std::unique_ptr<NfsHold> hold(const std::wstring& path) override;
    std::wstring owner() override;
    void setOwner(const std::wstring& owner) override;

private:
    struct Impl;
    class Hold;
    std::shared_ptr<Impl> impl_;
};

}  // namespace NFS
