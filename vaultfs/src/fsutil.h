// Small file-system helpers of the local backend.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "zub/storemode.h"

namespace NFS::fsutil {

// A path on the local disk from a wide text (UTF-8 on disk).
std::filesystem::path ToPath(const std::wstring& text);
std::wstring ToText(const std::filesystem::path& path);

// The server path of an entry below the folder `base` names.
std::wstring ServerChild(const std::wstring& base, const std::filesystem::path& relative);

// "\"text\"", for error texts.
std::wstring Quoted(const std::wstring& text);

// A transfer's bytes that are not the recorded ones, of a local file or one
// on the server at `path`.
std::wstring SizeDiffers(bool local, const std::wstring& path, long recorded, unsigned long found);
std::wstring SumDiffers(bool local, const std::wstring& path, const std::wstring& recorded,
                        const std::wstring& read);

// The component's error number for a system error code.
long NumberFor(const std::error_code& code);

// A system_error for errno, its text saying what failed on which local path.
[[noreturn]] void ThrowErrno(int error, const std::string& what, const std::filesystem::path& path);

// The name of a new temporary entry beside the entry `name`, and whether a
// name is one of those (a transfer in progress or one that died).
std::string TemporaryName(const std::string& name);
bool IsTemporaryName(const std::string& name);

// Takes the exclusive flock a writer holds on its new temporary entry for
// its whole life, waiting for a cleaner that locked it first. False when
// that cleaner removed the entry meanwhile: the caller then makes another.
bool LockFresh(int fd, const std::filesystem::path& path);

// rename that never replaces an existing target (throws EEXIST).
void RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Makes a finished rename or creation in `dir` durable.
void SyncDir(const std::filesystem::path& dir);

// Flushes everything written to the file system holding `path`: one call
// instead of a sync per file when a whole staged tree must reach the disk.
void SyncFileSystem(const std::filesystem::path& path);

// Gives an open stored file the store's file mode without write permission:
// it is written once, before it is published, and never again.
void Seal(int fd, const std::filesystem::path& path, const zub::StoreMode& store);
// The permission bits a stored file keeps (any write bit taken away).
constexpr unsigned kWriteBits = 0222;

// Is `path` (canonical) `base` (canonical) or below it?
bool IsWithin(const std::filesystem::path& path, const std::filesystem::path& base);

}  // namespace NFS::fsutil
