#include "scratchdir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pathtext.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/text.h"

ScratchDir::ScratchDir(const std::filesystem::path& parent) {
    std::string pattern = (parent / ".vault-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw VaultError(VaultErr::kLocalFile, L"cannot make a temporary folder in " +
                                                   zub::Utf8ToWide(parent.string()) + L": " +
                                                   zub::Utf8ToWide(std::strerror(errno)));
    path_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}
