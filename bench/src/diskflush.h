// Makes written data durable the way the file server does, for the durable
// variants of the raw costs: a file's data, a folder's entries, a whole file
// system.
#pragma once

#include <cstdint>
#include <filesystem>

namespace zub::bench {

class DiskFlush {
public:
    static void File(const std::filesystem::path& file);
    static void Folder(const std::filesystem::path& dir);
    // One flush for everything written on the file system that holds `path`.
    static void FileSystem(const std::filesystem::path& path);
    // Drops the cached pages of every file of at least `minBytes` below `dir`
    // (written data must be synced first): each large step then reads from
    // the disk, not from whatever the cache happens to hold.
    static void Evict(const std::filesystem::path& dir, std::uintmax_t minBytes);
};

}  // namespace zub::bench
