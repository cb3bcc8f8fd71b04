#include "vaultfs/rootowner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "atomicfile.h"
#include "fsutil.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/storemode.h"
#include "zub/text.h"

namespace NFS {

namespace fs = std::filesystem;

std::wstring RootOwner::Text() const { return storeId + L"\t" + place; }

std::optional<RootOwner> RootOwner::Parse(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    const std::size_t tab = text.find(L'\t');
    // An id without a place never names a store; a second line would be a
    // second owner.
    if (tab == 0 || tab == std::wstring::npos || text.find_first_of(L"\r\n") != std::wstring::npos)
        throw NfsError(NFS_E_INVALID,
                       zub::Format(ZUB_N_(L"the owner text \"%ls\" is damaged"), text.c_str()));
    return RootOwner{text.substr(0, tab), text.substr(tab + 1)};
}

std::optional<RootOwner> RootOwner::Read(const fs::path& root) {
    const fs::path file = root / kFileName;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(file, ec))) return std::nullopt;
        throw NfsError(NFS_E_IO, zub::Format(ZUB_N_(L"cannot read the server's owner file \"%ls\""),
                                             fsutil::ToText(file).c_str()));
    }
    std::string line;
    std::getline(in, line);
    try {
        auto owner = Parse(zub::Utf8ToWide(line));
        if (owner) return owner;
    } catch (const NfsError&) {}
    throw NfsError(NFS_E_IO, zub::Format(ZUB_N_(L"the server's owner file \"%ls\" is damaged"),
                                         fsutil::ToText(file).c_str()));
}

void RootOwner::Write(const fs::path& root, const RootOwner& owner) {
    Parse(owner.Text());
    const std::string line = zub::WideToUtf8(owner.Text()) + "\n";
    // Readable by the store's group when the store is shared: every member's
    // library checks the owner before using the root.
    AtomicFile out(root / kFileName, true, zub::StoreMode::Of(root));
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(out.fd(), line.data() + done, line.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fsutil::ThrowErrno(errno, "cannot write", out.temp());
        }
        done += static_cast<std::size_t>(n);
    }
    out.Commit();
}

}  // namespace NFS
