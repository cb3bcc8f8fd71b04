// Makes written data durable the way the file server does, for the durable
// variants of the raw costs: a file's data, a folder's entries, a whole file
// system.
#pragma once

#include <filesystem>

class DiskFlush {
public:
    static void File(const std::filesystem::path& file);
    static void Folder(const std::filesystem::path& dir);
    // One flush for everything written on the file system that holds `path`.
    static void FileSystem(const std::filesystem::path& path);
};
