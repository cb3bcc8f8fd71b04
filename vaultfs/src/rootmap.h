// Maps server paths ("D:\repo1\trunk\a.prt") to paths below a local root and
// refuses every path that would leave it.
#pragma once

#include <filesystem>
#include <string>

namespace NFS {

class RootMap {
public:
    // Throws when the root does not exist or is no folder.
    explicit RootMap(const std::filesystem::path& root);

    const std::filesystem::path& root() const { return root_; }

    // The relative path for a server path: '\' or '/' separate, leading
    // separators and "." are dropped, a leading drive "x:" becomes the folder
    // "X"; ".." and an empty result are refused.
    static std::filesystem::path Relative(const std::wstring& serverPath);

    // The entry the server path names, its folder resolved (links included)
    // and checked; the last component is kept, so a link there is the link.
    std::filesystem::path Entry(const std::wstring& serverPath) const;

    // The server path fully resolved, links included, and checked.
    std::filesystem::path Follow(const std::wstring& serverPath) const;

    // root() / relative with the links below the root resolved, as
    // weakly_canonical would give it.
    std::filesystem::path Below(const std::filesystem::path& relative) const;

    // Is the canonical `path` inside the root?
    bool Inside(const std::filesystem::path& path) const;
    // Throws the outside-root error naming `serverPath` unless Inside(path).
    void Check(const std::filesystem::path& path, const std::wstring& serverPath) const;

private:
    std::filesystem::path root_;  // canonical
};

}  // namespace NFS
