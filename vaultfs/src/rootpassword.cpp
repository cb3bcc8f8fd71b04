#include "vaultfs/rootpassword.h"

#include <crypt.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "atomicfile.h"
#include "fsutil.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace NFS {

namespace fs = std::filesystem;

namespace {

std::string Hash(const std::string& password, const char* setting) {
    auto data = std::make_unique<crypt_data>();
    std::memset(data.get(), 0, sizeof(crypt_data));
    const char* hash = ::crypt_r(password.c_str(), setting, data.get());
    // Failure is "*" plus a character, never a valid hash.
    if (hash == nullptr || hash[0] == '*')
        throw NfsError(NFS_E_INTERNAL, ZUB_N_(L"cannot hash the root's password"));
    return hash;
}

std::string NewSetting() {
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    if (::crypt_gensalt_rn("$6$", 0, nullptr, 0, setting, sizeof setting) == nullptr)
        throw NfsError(NFS_E_INTERNAL, ZUB_N_(L"cannot make a salt for the root's password"));
    return setting;
}

}  // namespace

void RootPassword::Write(const fs::path& root, const std::wstring& user,
                         const std::wstring& password) {
    const std::string line =
        zub::WideToUtf8(user) + "\t" + Hash(zub::WideToUtf8(password), NewSetting().c_str()) + "\n";
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

bool RootPassword::Exists(const fs::path& root) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(root / kFileName, ec));
}

std::optional<RootPassword> RootPassword::Read(const fs::path& root) {
    const fs::path file = root / kFileName;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (!Exists(root)) return std::nullopt;
        throw NfsError(NFS_E_IO, zub::Format(ZUB_N_(L"cannot read the server's login file \"%ls\""),
                                             fsutil::ToText(file).c_str()));
    }
    std::string line;
    std::getline(in, line);
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || line.size() <= tab + 1 || line[tab + 1] != '$')
        throw NfsError(NFS_E_IO, zub::Format(ZUB_N_(L"the server's login file \"%ls\" is damaged"),
                                             fsutil::ToText(file).c_str()));
    return RootPassword(zub::Utf8ToWide(line.substr(0, tab)), line.substr(tab + 1));
}

bool RootPassword::Accepts(const std::wstring& user, const std::wstring& password) const {
    if (user != user_) return false;
    return Hash(zub::WideToUtf8(password), hash_.c_str()) == hash_;
}

}  // namespace NFS
