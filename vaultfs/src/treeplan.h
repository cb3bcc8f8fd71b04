// The list of what a folder copy moves, made before anything is written, so a
// tree that cannot be copied whole (a link out of the root, a pipe) fails
// early and the total size is known for progress.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "rootmap.h"

namespace NFS {

class TreePlan {
public:
    struct Item {
        std::filesystem::path relative;  // below the copied folder
        std::filesystem::path source;    // resolved, inside the root
        bool directory = false;
        std::uint64_t size = 0;
    };

    // `source` is the resolved folder; `serverPath` names it in error texts.
    // Links inside the tree are followed when they stay inside the root.
    TreePlan(const RootMap& map, const std::filesystem::path& source,
             const std::wstring& serverPath);

    // Parents before their content, names in byte order.
    const std::vector<Item>& items() const { return items_; }
    std::uint64_t totalBytes() const { return total_; }

private:
    void Walk(const std::filesystem::path& dir, const std::filesystem::path& relative,
              std::vector<std::filesystem::path>& open);
    std::wstring ServerName(const std::filesystem::path& relative) const;

    const RootMap& map_;
    std::wstring serverPath_;
    std::vector<Item> items_;
    std::uint64_t total_ = 0;
};

}  // namespace NFS
