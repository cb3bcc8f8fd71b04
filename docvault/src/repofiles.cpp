#include "internal/repofiles.h"

#include <random>

#include "dbcore/embeddedstore.h"
#include "docvault/bo.h"
#include "internal/boaccess.h"
#include "internal/fileserverlogin.h"

namespace DRM {

int RepoFiles::Open(int docRepoId) {
    if (int rc = loc_.Lookup(bo_, docRepoId)) return rc;
    OpenAt(loc_.server, loc_.port, loc_.dir);
    return 0;
}

void RepoFiles::OpenAt(const std::wstring& server, long port, const std::wstring& dir) {
    loc_.server = ZUBDB::ResolveFileServer(BOAccess::Server(bo_), server);
    loc_.port = static_cast<unsigned short>(port);
    loc_.dir = dir;
    // The password comes from the database we are connected to; the login
    // goes to the repository's own file server.
    FileServerLogin::Get().EnsureLogin(BOAccess::Server(bo_), BOAccess::Port(bo_),
                                       BOAccess::Token(bo_), loc_.server, loc_.port);
    refusal_ = RootOwnership::Check(bo_, loc_.server, loc_.port);
}

NFS::CNFS_Cmd& RepoFiles::Cmd() const { return *NFS::CNFS_Cmd::Instance(); }

int RepoFiles::Record() {
    if (!refusal_) return BOAccess::RecordNfsError(bo_);
    BOAccess::SetErr(bo_, refusal_->number, refusal_->text, L"", L"", 0);
    return static_cast<int>(refusal_->number);
}

int RepoFiles::Refuse(int number, const std::wstring& text) {
    BOAccess::RaiseUnknownError(bo_, number, text);
    return number;
}

int RepoFiles::Upload(const std::wstring& localFile, const std::wstring& remote) {
    return Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
        std::uint64_t count = 0;
        return cmd.upload(server, port, localFile, remote, count, false);
    });
}

int RepoFiles::Upload(const std::wstring& localFile, const std::wstring& remote,
                      std::wstring& sha256, long long& bytes) {
    NFS::ContentSum sum;
    const int rc = Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
        std::uint64_t count = 0;
        return cmd.upload(server, port, localFile, remote, count, false, sum);
    });
    sha256 = sum.sha256;
    bytes = rc == 0 ? sum.bytes : -1;
    return rc;
}

int RepoFiles::FileExists(const std::wstring& file, bool& exists) {
    // A rename onto itself never replaces anything: the server answers
    // "exists" for a file that is there and "not found" for one that is not.
    const long rc = Try([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
        return cmd.renameFile(server, port, file, file);
    });
    exists = rc == 0 || rc == NFS::NFS_E_EXISTS;
    if (exists || rc == NFS::NFS_E_NOT_FOUND) return 0;
    return Record();
}

int RepoFiles::ProbeRootBy(const std::wstring& folder) {
    return Run([&](NFS::CNFS_Cmd& cmd, const std::wstring& server, unsigned short port) {
        return cmd.mk(server, port, folder, false);
    });
}

std::wstring StagingNonce() {
    // Fresh from the device each time: forked processes must not share a sequence.
    std::random_device device;
    const std::uint64_t value = (std::uint64_t{device()} << 32) ^ device();
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text(16, L'0');
    for (int i = 0; i < 16; ++i)
        text[static_cast<std::size_t>(i)] = digits[(value >> (4 * i)) & 0xf];
    return text;
}

}  // namespace DRM
