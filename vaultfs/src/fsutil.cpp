#include "fsutil.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>

#include "vaultfs/nfserrors.h"
#include "zub/i18n.h"
#include "zub/text.h"
#include "zub/uniquefd.h"

namespace NFS::fsutil {

std::filesystem::path ToPath(const std::wstring& text) {
    return std::filesystem::path(zub::WideToUtf8(text));
}

std::wstring ToText(const std::filesystem::path& path) { return zub::Utf8ToWide(path.native()); }

std::wstring ServerChild(const std::wstring& base, const std::filesystem::path& relative) {
    std::wstring name = base;
    for (const auto& part : relative) name += L"\\" + ToText(part);
    return name;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring SizeDiffers(bool local, const std::wstring& path, long recorded, unsigned long found) {
    return zub::Format(
        local ? ZUB_N_(L"the size of the local file \"%ls\" differs from its recorded size "
                       "(recorded %ld bytes, found %lu)")
              : ZUB_N_(L"the size of the file \"%ls\" differs from its recorded size (recorded "
                       "%ld bytes, found %lu)"),
        path.c_str(), recorded, found);
}

std::wstring SumDiffers(bool local, const std::wstring& path, const std::wstring& recorded,
                        const std::wstring& read) {
    return zub::Format(
        local ? ZUB_N_(L"the content of the local file \"%ls\" does not match its recorded "
                       "SHA-256 (recorded %ls, read %ls)")
              : ZUB_N_(L"the content of the file \"%ls\" does not match its recorded SHA-256 "
                       "(recorded %ls, read %ls)"),
        path.c_str(), recorded.c_str(), read.c_str());
}

long NumberFor(const std::error_code& code) {
    if (code.category() != std::generic_category() && code.category() != std::system_category())
        return NFS_E_IO;
    switch (code.value()) {
        case ENOENT:
            return NFS_E_NOT_FOUND;
        case EEXIST:
        case ENOTEMPTY:
            return NFS_E_EXISTS;
        case EISDIR:
        case ENOTDIR:
            return NFS_E_WRONG_KIND;
        case ELOOP:
        case ENAMETOOLONG:
        case EINVAL:
            return NFS_E_INVALID;
        case ENOMEM:
            return NFS_E_NO_MEMORY;
        default:
            return NFS_E_IO;
    }
}

void ThrowErrno(int error, const std::string& what, const std::filesystem::path& path) {
    throw std::system_error(error, std::generic_category(), what + " " + path.native());
}

namespace {

constexpr std::size_t kSuffixLength = 10;
// Room for the dot, the marker and the suffix within a 255-byte name.
constexpr std::size_t kMaxKeptName = 200;
const std::string kMarker = ".vfs-";

std::string UniqueSuffix() {
    // Seeded once; the counter keeps names apart even if two threads draw the same value.
    static std::atomic<unsigned long long> counter{std::random_device{}()};
    thread_local std::mt19937_64 engine{std::random_device{}()};
    const unsigned long long value = engine() ^ counter.fetch_add(0x9E3779B97F4A7C15ull);
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string text;
    unsigned long long v = value;
    for (std::size_t i = 0; i < kSuffixLength; ++i) {
        text += digits[v % 36];
        v /= 36;
    }
    return text;
}

}  // namespace

std::string TemporaryName(const std::string& name) {
    return "." + name.substr(0, kMaxKeptName) + kMarker + UniqueSuffix();
}

bool IsTemporaryName(const std::string& name) {
    const std::size_t tail = kMarker.size() + kSuffixLength;
    if (name.size() < 1 + tail || name[0] != '.' ||
        name.compare(name.size() - tail, kMarker.size(), kMarker) != 0)
        return false;
    for (std::size_t i = name.size() - kSuffixLength; i < name.size(); ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'z')))
            return false;
    return true;
}

bool LockFresh(int fd, const std::filesystem::path& path) {
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) ThrowErrno(errno, "cannot lock", path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) ThrowErrno(errno, "cannot read", path);
    return st.st_nlink > 0;
}

void RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        ThrowErrno(error, "cannot rename " + from.native() + " to", to);
    // File systems without the flag: check, then rename (not race-free, but
    // nothing else of ours writes there).
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(to, ec)))
        ThrowErrno(EEXIST, "cannot rename " + from.native() + " to", to);
    if (::rename(from.c_str(), to.c_str()) != 0)
        ThrowErrno(errno, "cannot rename " + from.native() + " to", to);
}

void SyncDir(const std::filesystem::path& dir) {
    zub::UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) ThrowErrno(errno, "cannot open folder", dir);
    // Some file systems cannot sync a folder; the data itself is already synced.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        ThrowErrno(errno, "cannot sync folder", dir);
}

void SyncFileSystem(const std::filesystem::path& path) {
    zub::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) ThrowErrno(errno, "cannot open", path);
    if (::syncfs(fd.get()) != 0) ThrowErrno(errno, "cannot sync the file system of", path);
}

bool IsWithin(const std::filesystem::path& path, const std::filesystem::path& base) {
    auto p = path.begin();
    for (auto b = base.begin(); b != base.end(); ++b, ++p) {
        if (b->empty() && std::next(b) == base.end()) break;  // a trailing separator on the base
        if (p == path.end() || *p != *b) return false;
    }
    return true;
}

void Seal(int fd, const std::filesystem::path& path, const zub::StoreMode& store) {
    if (::fchmod(fd, store.file() & ~mode_t{kWriteBits}) != 0)
        ThrowErrno(errno, "cannot set the mode of", path);
}

}  // namespace NFS::fsutil
