#include "vaultfs/nfsbackend.h"

#include "vaultfs/nfserrors.h"
#include "zub/text.h"

namespace NFS {

NfsError::NfsError(long number, const std::wstring& text)
    : std::runtime_error(zub::WideToUtf8(text)), number_(number), text_(text) {}

std::vector<NfsEntry> NfsBackend::listFolder(const std::wstring& dir) {
    throw NfsError(NFS_E_INVALID, L"this server cannot list the folder \"" + dir + L"\"");
}

void NfsBackend::setOwner(const std::wstring& /*owner*/) {
    throw NfsError(NFS_E_INVALID, L"this server keeps no owner of its root");
}

}  // namespace NFS
