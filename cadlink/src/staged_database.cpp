#include "staged_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "zub/sqlite/connection.h"
#include "zub/sqlite/error.h"
#include "zub/text.h"

namespace ZUBCAX {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCompanions[] = {"-journal", "-wal", "-shm"};
constexpr const char* kMarker = ".zub-refresh-";
// Long enough for another program's commit; a program that keeps the old file
// open is not waited for.
constexpr int kSettleWaitMs = 2000;

[[noreturn]] void Fail(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

// ".NAME.zub-refresh-": a hidden name no refresh target of this folder shares.
std::string StagedPrefix(const fs::path& target) {
    return "." + target.filename().string() + kMarker;
}

std::string RandomHex() {
    std::random_device device;
    const std::uint64_t value = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

void RemoveWithCompanions(const std::string& path) noexcept {
    ::unlink(path.c_str());
    for (const char* suffix : kCompanions) ::unlink((path + suffix).c_str());
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void SyncFolder(const std::string& path) {
    std::string folder = fs::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) Fail(errno, "cannot open the folder " + folder);
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0) Fail(error, "cannot sync the folder " + folder);
}

// A journal or write-ahead log beside the old file belongs to it: it is rolled
// back or checkpointed into the old file, or it would be applied to the new one.
void SettleJournal(const std::string& target) {
    if (!Exists(target + "-journal") && !Exists(target + "-wal")) return;
    try {
        zub::sqlite::Connection db(target, SQLITE_OPEN_READWRITE, kSettleWaitMs);
        db.exec("PRAGMA journal_mode=DELETE");
    } catch (const zub::sqlite::Error& e) {
        // Companions of a file that is no database belong to nothing.
        if (e.primary() == SQLITE_NOTADB) return;
        Fail(EBUSY, "cannot settle the journal of " + target + ": " + e.message());
    }
}

}  // namespace

StagedDatabase::StagedDatabase(const std::wstring& target) : target_(zub::WideToUtf8(target)) {
    const fs::path where(target_);
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        const std::string name =
            (where.parent_path() / (StagedPrefix(where) + RandomHex())).string();
        const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            Fail(errno, "cannot create a file beside " + target_);
        }
        // A sweep may take the name between its creation and the lock.
        struct stat mine {
        }, named{};
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &mine) != 0 ||
            ::stat(name.c_str(), &named) != 0 || mine.st_ino != named.st_ino ||
            mine.st_dev != named.st_dev) {
            ::close(fd);
            continue;
        }
        // The new file keeps the access rights of the one it replaces.
        struct stat old {};
        if (::stat(target_.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
        fd_ = fd;
        staged_ = name;
    }
    if (fd_ < 0) Fail(EEXIST, "cannot create a file beside " + target_);
    stagedWide_ = zub::Utf8ToWide(staged_);
}

StagedDatabase::~StagedDatabase() { Discard(); }

void StagedDatabase::Discard() noexcept {
    if (fd_ < 0) return;
    if (!published_) RemoveWithCompanions(staged_);
    ::close(fd_);
    fd_ = -1;
}

void StagedDatabase::Publish() {
    if (::fsync(fd_) != 0) Fail(errno, "cannot sync " + staged_);
    SettleJournal(target_);
    if (::rename(staged_.c_str(), target_.c_str()) != 0) Fail(errno, "cannot replace " + target_);
    published_ = true;
    for (const char* suffix : kCompanions) ::unlink((target_ + suffix).c_str());
    SyncFolder(target_);
    Discard();
}

void StagedDatabase::SweepAbandoned(const std::wstring& target) {
    const fs::path where(zub::WideToUtf8(target));
    const fs::path folder = where.parent_path().empty() ? fs::path(".") : where.parent_path();
    const std::string prefix = StagedPrefix(where);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0 || name.size() != prefix.size() + 16) continue;
        const std::string path = it->path().string();
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) RemoveWithCompanions(path);
        ::close(fd);
    }
}

}  // namespace ZUBCAX
