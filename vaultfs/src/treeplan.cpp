#include "treeplan.h"

#include <algorithm>

#include "fsutil.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"

namespace NFS {

namespace fs = std::filesystem;

TreePlan::TreePlan(const RootMap& map, const fs::path& source, const std::wstring& serverPath)
    : map_(map), serverPath_(serverPath) {
    std::vector<fs::path> open{source};
    Walk(source, fs::path(), open);
}

std::wstring TreePlan::ServerName(const fs::path& relative) const {
    return fsutil::ServerChild(serverPath_, relative);
}

void TreePlan::Walk(const fs::path& dir, const fs::path& relative, std::vector<fs::path>& open) {
    std::vector<fs::path> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        // Another transfer's unfinished file is no part of the tree.
        if (!fsutil::IsTemporaryName(entry.path().filename().native()))
            names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());

    for (const auto& name : names) {
        const fs::path path = dir / name;
        const fs::path rel = relative / name;
        fs::path source = path;
        fs::file_status st = fs::symlink_status(path);
        if (fs::is_symlink(st)) {
            std::error_code ec;
            source = fs::canonical(path, ec);
            if (ec)
                throw NfsError(NFS_E_NOT_FOUND,
                               L"the link " + fsutil::Quoted(ServerName(rel)) + L" leads nowhere");
            if (!map_.Inside(source))
                throw NfsError(NFS_E_OUTSIDE_ROOT, L"the link " + fsutil::Quoted(ServerName(rel)) +
                                                       L" leaves the server's root");
            st = fs::status(source);
        }
        if (fs::is_directory(st)) {
            if (std::find(open.begin(), open.end(), source) != open.end())
                throw NfsError(NFS_E_INVALID, L"the link " + fsutil::Quoted(ServerName(rel)) +
                                                  L" leads into a folder that holds it");
            items_.push_back({rel, source, true, 0});
            open.push_back(source);
            Walk(source, rel, open);
            open.pop_back();
        } else if (fs::is_regular_file(st)) {
            const std::uint64_t size = fs::file_size(source);
            items_.push_back({rel, source, false, size});
            total_ += size;
        } else {
            throw NfsError(NFS_E_WRONG_KIND, L"the entry " + fsutil::Quoted(ServerName(rel)) +
                                                 L" is neither a file nor a folder");
        }
    }
}

}  // namespace NFS
