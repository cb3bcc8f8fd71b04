#include "vaultfs/nfsbackend.h"

#include "vaultfs/nfserrors.h"
#include "zub/text.h"

namespace NFS {

NfsError::NfsError(long number, const std::wstring& text)
    : std::runtime_error(zub::WideToUtf8(text)), number_(number), text_(text) {}

std::vector<NfsEntry> NfsBackend::listFolder(const std::wstring& dir) {
    throw NfsError(NFS_E_INVALID, L"this server cannot list the folder \"" + dir + L"\"");
}

namespace {

void RefuseExpected(const ContentSum& sum, const std::wstring& path) {
    if (!sum.expect.empty())
        throw NfsError(NFS_E_INVALID, L"this server cannot check the content of \"" + path + L"\"");
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

std::uint64_t NfsBackend::checksum(const std::wstring& file, std::wstring& /*sha256*/) {
    throw NfsError(NFS_E_INVALID, L"this server cannot read the content sum of \"" + file + L"\"");
}

}  // namespace NFS
