#include "internal/repoplace.h"

#include <algorithm>

#include "dbcore/embeddedstore.h"
#include "internal/serverpath.h"
#include "vaultfs/cnfs_cmd.h"

namespace DRM {

namespace {

// One place is the other or lies below it.
bool Nested(const std::wstring& a, const std::wstring& b) {
    auto below = [](const std::wstring& inner, const std::wstring& outer) {
        return inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
               (outer.back() == L'/' || inner[outer.size()] == L'/');
    };
    return a == b || below(a, b) || below(b, a);
}

}  // namespace

RepoPlace RepoPlace::Of(const std::wstring& dbServer, const std::wstring& server, long port,
                        const std::wstring& dir) {
    RepoPlace place;
    place.server = ZUBDB::ResolveFileServer(dbServer, server);
    place.dir = dir;
    NFS::CNFS_Cmd* cmd = NFS::CNFS_Cmd::Instance();
    const auto nfsPort = static_cast<unsigned short>(port);
    // A server that cannot tell is compared by its text, as before.
    if (cmd->where(place.server, nfsPort, L"", place.root) != 0 ||
        cmd->where(place.server, nfsPort, dir, place.tree) != 0) {
        place.root.clear();
        place.tree.clear();
    }
    return place;
}

bool RepoPlace::Overlaps(const RepoPlace& other) const {
    if (root.empty() || other.root.empty())
        return server == other.server && TreesOverlap(dir, other.dir);
    if (root == other.root && TreesOverlap(dir, other.dir)) return true;
    return Nested(tree, other.tree);
}

bool RepoPlace::Shares(const RepoPlace& other) const {
    if (!tree.empty() && !other.tree.empty()) return Nested(tree, other.tree);
    if (server != other.server) return false;
    std::wstring a = CanonicalServerPath(dir);
    std::wstring b = CanonicalServerPath(other.dir);
    std::replace(a.begin(), a.end(), L'\\', L'/');
    std::replace(b.begin(), b.end(), L'\\', L'/');
    return a.empty() || b.empty() || Nested(a, b);
}

}  // namespace DRM
