#include "scratchdir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pathtext.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

ScratchDir::ScratchDir(const std::filesystem::path& parent) {
    std::string pattern = (parent / ".vault-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw VaultError(VaultErr::kLocalFile,
                         zub::trf("cannot make a temporary folder in %s: %s",
                                  parent.string().c_str(), std::strerror(errno)));
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace zub::vault
