// Files and directories: directory creation with parents, file and folder
// copies, creation times and the version of PE files.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

#include "zub/platform/error.h"

namespace zub::platform {

// SHCreateDirectoryEx: creates `path` and every missing parent.
//   0                         created
//   kErrorAlreadyExists (183) the directory exists already
//   kErrorFileExists (80)     a file (not a directory) has that name
//   kErrorPathNotFound (3)    a parent is a file
//   kErrorBadPathname (161)   relative or empty path
//   kErrorAccessDenied (5)    no right to create it
Error CreateDirectoryWithParents(const std::wstring& path);

// CopyFile: copies the file `from` to `to`. With failIfExists an existing `to`
// gives kErrorFileExists and is left alone; without, it is replaced (through a
// temporary file in its folder, so a reader never sees half a file). Missing
// source: kErrorFileNotFound; missing target folder: kErrorPathNotFound;
// a directory on either side: kErrorAccessDenied (as Windows reports it).
Error CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists);

// Removes what a CopyFile or WriteShellLink to `target` that was killed left
// beside it (their temporary files). Nothing there: success.
Error RemoveWriteLeftovers(const std::wstring& target);

// Silent shell folder copy (SHFileOperation FO_COPY, no confirmation, no UI):
// copies the directory `from` to `to`, creating `to` and its parents; files
// already there are overwritten, others are kept (an existing `to` receives
// the contents, it does not get a `from` folder inside it). Missing source:
// kErrorFileNotFound; a source that is no folder: kErrorDirectory; a file as
// `to`: kErrorAlreadyExists; `to` inside `from`: kErrorInvalidParameter.
Error CopyFolder(const std::wstring& from, const std::wstring& to);

// A file time in 100-nanosecond units since 1601-01-01 UTC (FILETIME).
struct FileTime {
    std::uint64_t ticks = 0;
    auto operator<=>(const FileTime&) const = default;
};

// The creation time: the file system's birth time where it records one,
// else the last modification time. Missing file: kErrorFileNotFound.
Error GetFileCreationTime(const std::wstring& path, FileTime& time);
// CompareFileTime: -1 when a is earlier, 0 equal, 1 later.
int CompareFileTime(const FileTime& a, const FileTime& b);

// The fixed file version of a PE file's version resource: dwFileVersionMS in
// the high 32 bits, dwFileVersionLS in the low ones. 0 for a file without a
// version resource, any other kind of file, and a file that cannot be read.
std::uint64_t GetFileVersion(const std::wstring& path);

}  // namespace zub::platform
