#include "rootmap.h"

#include <sys/stat.h>

#include <cerrno>

#include "fsutil.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/rootowner.h"
#include "vaultfs/rootpassword.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace NFS {

namespace fs = std::filesystem;

RootMap::RootMap(const fs::path& root) {
    std::error_code ec;
    root_ = fs::canonical(root, ec);
    if (ec || !fs::is_directory(root_))
        throw NfsError(NFS_E_NOT_FOUND,
                       zub::Format(ZUB_N_(L"the server's root folder \"%ls\" does not exist"),
                                   fsutil::ToText(root).c_str()));
}

fs::path RootMap::Relative(const std::wstring& serverPath) {
    if (serverPath.find(L'\0') != std::wstring::npos)
        throw NfsError(
            NFS_E_INVALID,
            zub::Format(ZUB_N_(L"the path \"%ls\" holds a null character"), serverPath.c_str()));
    fs::path relative;
    bool first = true;
    std::size_t pos = 0;
    while (pos <= serverPath.size()) {
        std::size_t end = serverPath.find_first_of(L"\\/", pos);
        if (end == std::wstring::npos) end = serverPath.size();
        std::wstring part = serverPath.substr(pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == L".") continue;
        if (part == L"..")
            throw NfsError(NFS_E_OUTSIDE_ROOT,
                           zub::Format(ZUB_N_(L"the path \"%ls\" leaves the server's root"),
                                       serverPath.c_str()));
        if (first && part.size() == 2 && part[1] == L':' &&
            ((part[0] >= L'a' && part[0] <= L'z') || (part[0] >= L'A' && part[0] <= L'Z'))) {
            // Drive letters do not depend on case.
            part.resize(1);
            if (part[0] >= L'a') part[0] = static_cast<wchar_t>(part[0] - L'a' + L'A');
        }
        if (first && zub::WideToUtf8(part) == RootPassword::kFileName)
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the path \"%ls\" names the server's login file"),
                                       serverPath.c_str()));
        if (first && zub::WideToUtf8(part) == RootOwner::kFileName)
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the path \"%ls\" names the server's owner file"),
                                       serverPath.c_str()));
        first = false;
        relative /= zub::WideToUtf8(part);
    }
    if (relative.empty())
        throw NfsError(NFS_E_INVALID,
                       zub::Format(ZUB_N_(L"the path \"%ls\" names no entry below the root"),
                                   serverPath.c_str()));
    return relative;
}

bool RootMap::Inside(const fs::path& path) const { return fsutil::IsWithin(path, root_); }

void RootMap::Check(const fs::path& path, const std::wstring& serverPath) const {
    if (!Inside(path))
        throw NfsError(
            NFS_E_OUTSIDE_ROOT,
            zub::Format(ZUB_N_(L"the path \"%ls\" leaves the server's root"), serverPath.c_str()));
}

fs::path RootMap::Below(const fs::path& relative) const {
    // The root is canonical: only what lies below it is looked at, which
    // spares a look at each folder above it on every call.
    fs::path resolved = root_;
    for (auto part = relative.begin(); part != relative.end(); ++part) {
        if (*part == "." || *part == ".." || part->empty())
            return fs::weakly_canonical(root_ / relative);
        resolved /= *part;
        struct stat st {};
        if (::lstat(resolved.c_str(), &st) != 0) {
            if (errno != ENOENT && errno != ENOTDIR) return fs::weakly_canonical(root_ / relative);
            // What does not exist is taken as written.
            for (++part; part != relative.end(); ++part) resolved /= *part;
            return resolved;
        }
        // A link is followed wherever it leads; the caller checks where.
        if (S_ISLNK(st.st_mode)) return fs::weakly_canonical(root_ / relative);
    }
    return resolved;
}

fs::path RootMap::Entry(const std::wstring& serverPath) const {
    const fs::path relative = Relative(serverPath);
    const fs::path parent = relative.has_parent_path() ? Below(relative.parent_path()) : root_;
    Check(parent, serverPath);
    return parent / relative.filename();
}

fs::path RootMap::Follow(const std::wstring& serverPath) const {
    const fs::path resolved = Below(Relative(serverPath));
    Check(resolved, serverPath);
    return resolved;
}

}  // namespace NFS
