#include "vaultfs/nfsbackend.h"

#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace NFS {

NfsError::NfsError(long number, const std::wstring& text)
    : std::runtime_error(zub::WideToUtf8(text)), number_(number), text_(text) {}

std::vector<NfsEntry> NfsBackend::listFolder(const std::wstring& dir) {
    throw NfsError(NFS_E_INVALID,
                   zub::Format(ZUB_N_(L"this server cannot list the folder \"%ls\""), dir.c_str()));
}

void NfsBackend::setOwner(const std::wstring& /*owner*/) {
    throw NfsError(NFS_E_INVALID, ZUB_N_(L"this server keeps no owner of its root"));
}

std::vector<NfsDebris> NfsBackend::debris(const std::wstring& dir, bool remove, const Keep& keep) {
    std::vector<NfsDebris> found = debris(dir, false);
    std::vector<NfsDebris> wanted;
    for (NfsDebris& d : found)
        if (!keep || !keep(d.path)) wanted.push_back(std::move(d));
    if (!remove) return wanted;
    if (wanted.size() != found.size())
        throw NfsError(NFS_E_INVALID,
                       ZUB_N_(L"this server cannot spare entries while removing debris"));
    return debris(dir, true);
}

std::unique_ptr<NfsHold> NfsBackend::hold(const std::wstring& path) {
    throw NfsError(NFS_E_INVALID,
                   zub::Format(ZUB_N_(L"this server cannot hold \"%ls\""), path.c_str()));
}

namespace {

void RefuseExpected(const ContentSum& sum, const std::wstring& path) {
    if (!sum.expect.empty() || sum.expectBytes >= 0)
        throw NfsError(
            NFS_E_INVALID,
            zub::Format(ZUB_N_(L"this server cannot check the content of \"%ls\""), path.c_str()));
}

}  // namespace

std::uint64_t NfsBackend::upload(const std::wstring& localFile, const std::wstring& remoteFile,
                                 const Progress& progress, ContentSum& sum) {
    RefuseExpected(sum, localFile);
    sum.sha256.clear();
    return upload(localFile, remoteFile, progress);
}

std::uint64_t NfsBackend::download(const std::wstring& remoteFile, const std::wstring& localDir,
                                   const std::wstring& localName, const Progress& progress,
                                   ContentSum& sum) {
    RefuseExpected(sum, remoteFile);
    sum.sha256.clear();
    return download(remoteFile, localDir, localName, progress);
}

void NfsBackend::copy(const std::wstring& source, const std::wstring& target,
                      const Progress& progress, ContentSum& sum) {
    RefuseExpected(sum, source);
    sum.sha256.clear();
    copy(source, target, progress);
}

void NfsBackend::copyFolder(const std::wstring& source, const std::wstring& /*target*/,
                            const Progress& /*progress*/, std::vector<NfsFileSum>& /*sums*/) {
    throw NfsError(
        NFS_E_INVALID,
        zub::Format(ZUB_N_(L"this server cannot sum the files of \"%ls\""), source.c_str()));
}

void NfsBackend::shareFolder(const std::wstring& source, const std::wstring& target,
                             const Progress& progress, std::vector<NfsFileSum>& files,
                             NfsShareCount& how) {
    copyFolder(source, target, progress, files);
    how = NfsShareCount{};
    how.copied = files.size();
}

std::uint64_t NfsBackend::downLoadFolder(const std::wstring& remoteDir,
                                         const std::wstring& /*localDir*/,
                                         const Progress& /*progress*/,
                                         const std::vector<NfsFileSum>& /*expect*/) {
    throw NfsError(
        NFS_E_INVALID,
        zub::Format(ZUB_N_(L"this server cannot check the content of \"%ls\""), remoteDir.c_str()));
}

std::uint64_t NfsBackend::checksum(const std::wstring& file, std::wstring& /*sha256*/) {
    throw NfsError(
        NFS_E_INVALID,
        zub::Format(ZUB_N_(L"this server cannot read the content sum of \"%ls\""), file.c_str()));
}

}  // namespace NFS
