// The store that owns an embedded file-server root.
//
// The root folder may hold the file ".vaultfs-owner": one line
// "STOREID<TAB>PLACE", the identity of the store that claimed the root and
// where that store was when it did ("sqlite:/abs/folder"; empty for a store
// on a database server). Like the login file it is no server path: no
// operation can read, replace or delete it through a path. A root without
// the file has no owner (older stores, folders nobody claimed).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace NFS {

struct RootOwner {
    static constexpr const char* kFileName = ".vaultfs-owner";

    std::wstring storeId;
    std::wstring place;

    // The one-line text the file and CNFS_Cmd's owner calls carry.
    std::wstring Text() const;
    // Nothing for an empty text; throws on a damaged one.
    static std::optional<RootOwner> Parse(const std::wstring& text);

    // The root's owner, nothing when it has none. Throws when the file is
    // there but cannot be read or is damaged.
    static std::optional<RootOwner> Read(const std::filesystem::path& root);
    // Writes (or replaces) the root's owner, atomically.
    static void Write(const std::filesystem::path& root, const RootOwner& owner);
};

}  // namespace NFS
