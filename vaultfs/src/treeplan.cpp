#include "treeplan.h"

#include <algorithm>

#include "fsutil.h"
#include "vaultfs/nfsbackend.h"
#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

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
                               zub::Format(ZUB_N_(L"the link \"%ls\" leads nowhere"),
                                           ServerName(rel).c_str()));
            if (!map_.Inside(source))
                throw NfsError(NFS_E_OUTSIDE_ROOT,
                               zub::Format(ZUB_N_(L"the link \"%ls\" leaves the server's root"),
                                           ServerName(rel).c_str()));
            st = fs::status(source);
        }
        if (fs::is_directory(st)) {
            if (std::find(open.begin(), open.end(), source) != open.end())
                throw NfsError(
                    NFS_E_INVALID,
                    zub::Format(ZUB_N_(L"the link \"%ls\" leads into a folder that holds it"),
                                ServerName(rel).c_str()));
            items_.push_back({rel, source, true, 0});
            open.push_back(source);
            Walk(source, rel, open);
            open.pop_back();
        } else if (fs::is_regular_file(st)) {
            const std::uint64_t size = fs::file_size(source);
            items_.push_back({rel, source, false, size});
            total_ += size;
        } else {
            throw NfsError(NFS_E_WRONG_KIND,
                           zub::Format(ZUB_N_(L"the entry \"%ls\" is neither a file nor a folder"),
                                       ServerName(rel).c_str()));
        }
    }
}

}  // namespace NFS
