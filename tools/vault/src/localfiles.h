// Local files and folders the tool writes into: comparing before replacing,
// so that local edits are never overwritten silently.
#pragma once

#include <filesystem>
#include <vector>

namespace zub::vault {

class LocalFiles {
public:
    // Both are regular files with the same bytes.
    static bool SameContent(const std::filesystem::path& a, const std::filesystem::path& b);
    // The files of the tree `from` whose namesakes below `to` exist with other
    // content, as paths relative to the trees.
    static std::vector<std::filesystem::path> Conflicts(const std::filesystem::path& from,
                                                        const std::filesystem::path& to);
    // Moves the tree `from` into `to`, replacing files of the same name.
    static void MoveInto(const std::filesystem::path& from, const std::filesystem::path& to);
};

}  // namespace zub::vault
