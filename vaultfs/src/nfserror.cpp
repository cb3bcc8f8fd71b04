#include "vaultfs/nfsbackend.h"

#include "zub/text.h"

namespace NFS {

NfsError::NfsError(long number, const std::wstring& text)
    : std::runtime_error(zub::WideToUtf8(text)), number_(number), text_(text) {}

}  // namespace NFS
