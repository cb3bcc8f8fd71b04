#include "vaultfs/localbackend.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <system_error>

#include "atomicfile.h"
#include "debris.h"
#include "fsutil.h"
#include "rootmap.h"
#include "streamcopier.h"
#include "tempdir.h"
#include "treeplan.h"
#include "vaultfs/nfserrors.h"
#include "vaultfs/rootowner.h"
#include "vaultfs/rootpassword.h"
#include "zub/i18n.h"
#include "zub/storemode.h"
#include "zub/text.h"
#include "zub/uniquefd.h"

namespace NFS {

namespace fs = std::filesystem;
using fsutil::Quoted;

namespace {

// Turns system failures into the component's errors, naming the server path.
template <class Fn>
auto Guard(const std::wstring& path, Fn fn) -> decltype(fn()) {
    try {
        return fn();
    } catch (const NfsError&) {
        throw;
    } catch (const std::system_error& e) {
        throw NfsError(
            fsutil::NumberFor(e.code()),
            zub::Format(ZUB_N_(L"\"%ls\": %ls"), path.c_str(), zub::Utf8ToWide(e.what()).c_str()));
    }
}

// Opens a regular file for reading. Pipes are opened without waiting for a
// writer and then refused.
zub::UniqueFd OpenSource(const fs::path& path, bool local, const std::wstring& shown,
                         std::uint64_t& size) {
    zub::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(local ? ZUB_N_(L"the local file \"%ls\" does not exist")
                                             : ZUB_N_(L"the file \"%ls\" does not exist"),
                                       shown.c_str()));
        fsutil::ThrowErrno(errno, "cannot open", path);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) fsutil::ThrowErrno(errno, "cannot read", path);
    if (S_ISDIR(st.st_mode))
        throw NfsError(NFS_E_WRONG_KIND,
                       zub::Format(local ? ZUB_N_(L"the local file \"%ls\" is a folder, not a file")
                                         : ZUB_N_(L"the file \"%ls\" is a folder, not a file"),
                                   shown.c_str()));
    if (!S_ISREG(st.st_mode))
        throw NfsError(NFS_E_WRONG_KIND,
                       zub::Format(local ? ZUB_N_(L"the local file \"%ls\" is not a regular file")
                                         : ZUB_N_(L"the file \"%ls\" is not a regular file"),
                                   shown.c_str()));
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        fsutil::ThrowErrno(errno, "cannot read", path);
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

StreamCopier::Step StepFor(const NfsBackend::Progress& progress, std::uint64_t base,
                           std::uint64_t total) {
    if (!progress) return {};
    return [&progress, base, total](std::uint64_t done) { progress(base + done, total); };
}

// Copies with the sum when one is wanted and fails, before anything is
// committed, when the bytes are not the ones expected. `size`: the source's
// size when it was opened, so a file of the wrong size moves no byte.
std::uint64_t CopySummed(const StreamCopier& copier, int in, const fs::path& inPath, int out,
                         const fs::path& outPath, const StreamCopier::Step& step, ContentSum* sum,
                         bool local, const std::wstring& shown, std::uint64_t size) {
    if (sum == nullptr) return copier.Copy(in, inPath, out, outPath, step);
    sum->sha256.clear();
    sum->bytes = -1;
    auto refuseSize = [&](std::uint64_t found) {
        throw NfsError(NFS_E_CONTENT, fsutil::SizeDiffers(local, shown, sum->expectBytes, found));
    };
    if (sum->expectBytes >= 0 && size != static_cast<std::uint64_t>(sum->expectBytes))
        refuseSize(size);
    std::wstring got;
    const std::uint64_t moved = copier.Copy(in, inPath, out, outPath, step, &got);
    if (sum->expectBytes >= 0 && moved != static_cast<std::uint64_t>(sum->expectBytes))
        refuseSize(moved);
    if (!sum->expect.empty() && got != sum->expect)
        throw NfsError(NFS_E_CONTENT, fsutil::SumDiffers(local, shown, sum->expect, got));
    sum->sha256 = std::move(got);
    sum->bytes = static_cast<std::int64_t>(moved);
    return moved;
}

void RefuseFolder(const fs::path& target, bool local, const std::wstring& shown) {
    if (fs::is_directory(fs::symlink_status(target)))
        throw NfsError(
            NFS_E_WRONG_KIND,
            zub::Format(local ? ZUB_N_(L"the local target \"%ls\" is a folder, not a file")
                              : ZUB_N_(L"the target \"%ls\" is a folder, not a file"),
                        shown.c_str()));
}

// Makes a local folder (with its parents) unless it is there; a file in the
// way is the wrong kind, not an existing target.
void MakeLocalDir(const fs::path& dir) {
    for (fs::path part = dir; !part.empty(); part = part.parent_path()) {
        const fs::file_status st = fs::status(part);
        if (fs::is_directory(st)) break;
        if (fs::exists(st))
            throw NfsError(NFS_E_WRONG_KIND,
                           zub::Format(ZUB_N_(L"the local path \"%ls\" is not a folder"),
                                       fsutil::ToText(part).c_str()));
        if (part == part.parent_path()) break;
    }
    fs::create_directories(dir);
}

// Makes the local folder a download goes to.
fs::path LocalFolder(const std::wstring& localDir) {
    if (localDir.empty()) throw NfsError(NFS_E_INVALID, ZUB_N_(L"no local folder given"));
    const fs::path dir = fsutil::ToPath(localDir);
    MakeLocalDir(dir);
    return dir;
}

// A file written in place: nothing of a failed transfer stays under its name.
class RemoveUnlessKept {
public:
    explicit RemoveUnlessKept(const fs::path& path) : path_(path) {}
    RemoveUnlessKept(const RemoveUnlessKept&) = delete;
    RemoveUnlessKept& operator=(const RemoveUnlessKept&) = delete;
    ~RemoveUnlessKept() {
        if (!kept_) ::unlink(path_.c_str());
    }
    void Keep() { kept_ = true; }

private:
    const fs::path& path_;
    bool kept_ = false;
};

// Makes the folder that will hold `target` and checks it is still inside.
void MakeParent(const RootMap& map, const fs::path& target, const std::wstring& serverPath) {
    zub::StoreMode::Of(map.root()).MakeFolders(target.parent_path());
    map.Check(fs::canonical(target.parent_path()), serverPath);
}

// A path of nothing but separators and "." parts.
bool NamesRoot(const std::wstring& path) {
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find_first_of(L"\\/", pos);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring part = path.substr(pos, end - pos);
        if (!part.empty() && part != L".") return false;
        pos = end + 1;
    }
    return true;
}

}  // namespace

LocalBackend::LocalBackend(fs::path root) : LocalBackend(std::move(root), Options{}) {}

LocalBackend::LocalBackend(fs::path root, Options options)
    : root_(fs::absolute(root)), options_(options) {}

std::wstring LocalBackend::user() const {
    std::lock_guard lock(mutex_);
    return user_;
}

StreamCopier LocalBackend::Copier(bool flushAhead) const {
    return StreamCopier(options_.chunkSize, options_.kernelCopy, options_.writeBehind, flushAhead);
}

void LocalBackend::logIn(const std::wstring& user, const std::wstring& password) {
    const RootMap map(root_);
    bool accepted = false;
    try {
        const std::optional<RootPassword> kept = RootPassword::Read(map.root());
        accepted = !kept || kept->Accepts(user, password);
    } catch (const NfsError&) {
        // A damaged login file opens nothing.
    }
    {
        std::lock_guard lock(mutex_);
        user_ = user;
        login_ = accepted ? Login::Accepted : Login::Refused;
    }
    if (!accepted)
        throw NfsError(NFS_E_LOGIN, zub::Format(ZUB_N_(L"the server refused the login of \"%ls\""),
                                                user.c_str()));
}

void LocalBackend::Authorize() const {
    Login login;
    std::wstring user;
    {
        std::lock_guard lock(mutex_);
        login = login_;
        user = user_;
    }
    if (login == Login::Accepted) return;
    if (login == Login::Refused)
        throw NfsError(NFS_E_LOGIN, zub::Format(ZUB_N_(L"the server refused the login of \"%ls\""),
                                                user.c_str()));
    if (RootPassword::Exists(root_))
        throw NfsError(NFS_E_LOGIN, ZUB_N_(L"the server needs a login first"));
}

void LocalBackend::mk(const std::wstring& dir) { Mk(dir, true); }
void LocalBackend::mkWork(const std::wstring& dir) { Mk(dir, false); }
void LocalBackend::rm(const std::wstring& dir) { Rm(dir, true); }
void LocalBackend::rmWork(const std::wstring& dir) { Rm(dir, false); }

void LocalBackend::Mk(const std::wstring& dir, bool sync) {
    Guard(dir, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path entry = map.Entry(dir);
        if (fs::exists(fs::symlink_status(entry))) {
            if (!fs::is_directory(map.Follow(dir)))
                throw NfsError(NFS_E_WRONG_KIND,
                               zub::Format(ZUB_N_(L"the path \"%ls\" exists and is not a folder"),
                                           dir.c_str()));
            return;
        }
        zub::StoreMode::Of(map.root()).MakeFolders(entry);
        if (sync) fsutil::SyncDir(entry.parent_path());
    });
}

void LocalBackend::Rm(const std::wstring& dir, bool sync) {
    Guard(dir, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path entry = map.Entry(dir);
        const fs::file_status st = fs::symlink_status(entry);
        if (!fs::exists(st))
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(ZUB_N_(L"the folder \"%ls\" does not exist"), dir.c_str()));
        if (fs::is_symlink(st)) {
            // Only the link goes; what it leads to stays.
            if (!fs::is_directory(map.Follow(dir)))
                throw NfsError(
                    NFS_E_WRONG_KIND,
                    zub::Format(ZUB_N_(L"the path \"%ls\" is not a folder"), dir.c_str()));
            fs::remove(entry);
        } else if (!fs::is_directory(st)) {
            throw NfsError(NFS_E_WRONG_KIND,
                           zub::Format(ZUB_N_(L"the path \"%ls\" is not a folder"), dir.c_str()));
        } else {
            fs::remove_all(entry);
        }
        if (sync) fsutil::SyncDir(entry.parent_path());
    });
}

void LocalBackend::delFile(const std::wstring& file) {
    Guard(file, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path entry = map.Entry(file);
        const fs::file_status st = fs::symlink_status(entry);
        if (!fs::exists(st))
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(ZUB_N_(L"the file \"%ls\" does not exist"), file.c_str()));
        if (fs::is_directory(st))
            throw NfsError(
                NFS_E_WRONG_KIND,
                zub::Format(ZUB_N_(L"the path \"%ls\" is a folder, not a file"), file.c_str()));
        fs::remove(entry);
        fsutil::SyncDir(entry.parent_path());
    });
}

std::uint64_t LocalBackend::upload(const std::wstring& localFile, const std::wstring& remoteFile,
                                   const Progress& progress) {
    return Upload(localFile, remoteFile, progress, nullptr, false);
}

std::uint64_t LocalBackend::upload(const std::wstring& localFile, const std::wstring& remoteFile,
                                   const Progress& progress, ContentSum& sum) {
    return Upload(localFile, remoteFile, progress, &sum, false);
}

std::uint64_t LocalBackend::uploadWork(const std::wstring& localFile,
                                       const std::wstring& remoteFile, const Progress& progress,
                                       ContentSum& sum) {
    return Upload(localFile, remoteFile, progress, &sum, true);
}

std::uint64_t LocalBackend::Upload(const std::wstring& localFile, const std::wstring& remoteFile,
                                   const Progress& progress, ContentSum* sum, bool inPlace) {
    return Guard(remoteFile, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path target = map.Entry(remoteFile);
        const fs::path local = fsutil::ToPath(localFile);
        std::uint64_t size = 0;
        const zub::UniqueFd in = OpenSource(local, true, localFile, size);
        RefuseFolder(target, false, remoteFile);
        MakeParent(map, target, remoteFile);
        const zub::StoreMode store = zub::StoreMode::Of(map.root());
        if (!inPlace) {
            AtomicFile out(target, true, store, true);
            const std::uint64_t moved =
                CopySummed(Copier(true), in.get(), local, out.fd(), target,
                           StepFor(progress, 0, size), sum, true, localFile, size);
            out.Commit();
            return moved;
        }
        zub::UniqueFd out(
            ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out) {
            if (errno == EEXIST)
                throw NfsError(
                    NFS_E_EXISTS,
                    zub::Format(ZUB_N_(L"the target \"%ls\" already exists"), remoteFile.c_str()));
            fsutil::ThrowErrno(errno, "cannot create", target);
        }
        RemoveUnlessKept made(target);
        fsutil::Seal(out.get(), target, store);
        const std::uint64_t moved =
            CopySummed(Copier(true), in.get(), local, out.get(), target, StepFor(progress, 0, size),
                       sum, true, localFile, size);
        if (::fsync(out.get()) != 0) fsutil::ThrowErrno(errno, "cannot sync", target);
        if (out.Close() != 0) fsutil::ThrowErrno(errno, "cannot write", target);
        made.Keep();
        return moved;
    });
}

std::uint64_t LocalBackend::download(const std::wstring& remoteFile, const std::wstring& localDir,
                                     const std::wstring& localName, const Progress& progress) {
    return Download(remoteFile, localDir, localName, progress, nullptr);
}

std::uint64_t LocalBackend::download(const std::wstring& remoteFile, const std::wstring& localDir,
                                     const std::wstring& localName, const Progress& progress,
                                     ContentSum& sum) {
    return Download(remoteFile, localDir, localName, progress, &sum);
}

std::uint64_t LocalBackend::Download(const std::wstring& remoteFile, const std::wstring& localDir,
                                     const std::wstring& localName, const Progress& progress,
                                     ContentSum* sum) {
    return Guard(remoteFile, [&] {
        Authorize();
        if (localName.empty() || localName == L"." || localName == L".." ||
            localName.find_first_of(std::wstring(L"/\0", 2)) != std::wstring::npos)
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the local name \"%ls\" is not a plain file name"),
                                       localName.c_str()));
        const RootMap map(root_);
        const fs::path source = map.Follow(remoteFile);
        std::uint64_t size = 0;
        const zub::UniqueFd in = OpenSource(source, false, remoteFile, size);
        const fs::path target = LocalFolder(localDir) / fsutil::ToPath(localName);
        RefuseFolder(target, true, fsutil::ToText(target));
        AtomicFile out(target, false);
        const std::uint64_t moved =
            CopySummed(Copier(), in.get(), source, out.fd(), target, StepFor(progress, 0, size),
                       sum, false, remoteFile, size);
        out.Commit();
        return moved;
    });
}

std::uint64_t LocalBackend::downLoadFolder(const std::wstring& remoteDir,
                                           const std::wstring& localDir, const Progress& progress) {
    return DownLoadFolder(remoteDir, localDir, progress, nullptr);
}

std::uint64_t LocalBackend::downLoadFolder(const std::wstring& remoteDir,
                                           const std::wstring& localDir, const Progress& progress,
                                           const std::vector<NfsFileSum>& expect) {
    return DownLoadFolder(remoteDir, localDir, progress, &expect);
}

std::uint64_t LocalBackend::DownLoadFolder(const std::wstring& remoteDir,
                                           const std::wstring& localDir, const Progress& progress,
                                           const std::vector<NfsFileSum>* expect) {
    return Guard(remoteDir, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path source = map.Follow(remoteDir);
        const fs::file_status st = fs::status(source);
        if (!fs::exists(st))
            throw NfsError(
                NFS_E_NOT_FOUND,
                zub::Format(ZUB_N_(L"the folder \"%ls\" does not exist"), remoteDir.c_str()));
        if (!fs::is_directory(st))
            throw NfsError(
                NFS_E_WRONG_KIND,
                zub::Format(ZUB_N_(L"the path \"%ls\" is not a folder"), remoteDir.c_str()));
        const TreePlan plan(map, source, remoteDir);
        // The tree must hold exactly the listed files before a byte moves.
        std::map<std::wstring, const NfsFileSum*> listed;
        if (expect != nullptr) {
            for (const NfsFileSum& file : *expect) listed.emplace(file.path, &file);
            std::size_t found = 0;
            for (const auto& item : plan.items()) {
                if (item.directory) continue;
                const std::wstring name = fsutil::ServerChild(remoteDir, item.relative);
                if (!listed.count(fsutil::ServerChild(L"", item.relative).substr(1)))
                    throw NfsError(
                        NFS_E_CONTENT,
                        zub::Format(
                            ZUB_N_(L"the file \"%ls\" is not one of the folder's recorded files"),
                            name.c_str()));
                ++found;
            }
            if (found != listed.size()) {
                for (const auto& [path, file] : listed)
                    if (!fs::exists(fs::symlink_status(source / fsutil::ToPath(path))))
                        throw NfsError(
                            NFS_E_NOT_FOUND,
                            zub::Format(ZUB_N_(L"the file \"%ls\" is recorded but does not exist"),
                                        (remoteDir + L"\\" + path).c_str()));
                throw NfsError(
                    NFS_E_CONTENT,
                    zub::Format(ZUB_N_(L"the folder \"%ls\" does not hold its recorded files"),
                                remoteDir.c_str()));
            }
        }
        const fs::path dir = LocalFolder(localDir);
        const StreamCopier copier = Copier();
        std::uint64_t done = 0;
        for (const auto& item : plan.items()) {
            const fs::path target = dir / item.relative;
            if (item.directory) {
                MakeLocalDir(target);
                continue;
            }
            std::uint64_t size = 0;
            const std::wstring name = fsutil::ServerChild(remoteDir, item.relative);
            const zub::UniqueFd in = OpenSource(item.source, false, name, size);
            RefuseFolder(target, true, fsutil::ToText(target));
            AtomicFile out(target, false);
            std::optional<ContentSum> sum;
            if (expect != nullptr) {
                const NfsFileSum& file =
                    *listed.at(fsutil::ServerChild(L"", item.relative).substr(1));
                sum = ContentSum{file.sha256, L"", static_cast<std::int64_t>(file.bytes), -1};
            }
            done += CopySummed(copier, in.get(), item.source, out.fd(), target,
                               StepFor(progress, done, plan.totalBytes()), sum ? &*sum : nullptr,
                               false, name, size);
            out.Commit();
        }
        return done;
    });
}

void LocalBackend::copy(const std::wstring& source, const std::wstring& target) {
    copy(source, target, Progress());
}

void LocalBackend::copy(const std::wstring& source, const std::wstring& target,
                        const Progress& progress) {
    Copy(source, target, progress, nullptr);
}

void LocalBackend::copy(const std::wstring& source, const std::wstring& target,
                        const Progress& progress, ContentSum& sum) {
    Copy(source, target, progress, &sum);
}

std::uint64_t LocalBackend::checksum(const std::wstring& file, std::wstring& sha256) {
    return Guard(file, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path source = map.Follow(file);
        std::uint64_t size = 0;
        const zub::UniqueFd in = OpenSource(source, false, file, size);
        return Copier().Copy(in.get(), source, -1, fs::path(), {}, &sha256);
    });
}

void LocalBackend::seal(const std::wstring& file) {
    Guard(file, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path path = map.Follow(file);
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                throw NfsError(
                    NFS_E_NOT_FOUND,
                    zub::Format(ZUB_N_(L"the file \"%ls\" does not exist"), file.c_str()));
            fsutil::ThrowErrno(errno, "cannot read", path);
        }
        if (!S_ISREG(st.st_mode))
            throw NfsError(NFS_E_WRONG_KIND,
                           zub::Format(ZUB_N_(L"the path \"%ls\" is not a file"), file.c_str()));
        if ((st.st_mode & fsutil::kWriteBits) != 0 &&
            ::chmod(path.c_str(), st.st_mode & 07777 & ~mode_t{fsutil::kWriteBits}) != 0)
            fsutil::ThrowErrno(errno, "cannot set the mode of", path);
    });
}

void LocalBackend::Copy(const std::wstring& source, const std::wstring& target,
                        const Progress& progress, ContentSum* sum) {
    Guard(source, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path from = map.Follow(source);
        std::uint64_t size = 0;
        const zub::UniqueFd in = OpenSource(from, false, source, size);
        const fs::path to = map.Entry(target);
        RefuseFolder(to, false, target);
        MakeParent(map, to, target);
        AtomicFile out(to, true, zub::StoreMode::Of(map.root()), true);
        CopySummed(Copier(), in.get(), from, out.fd(), to, StepFor(progress, 0, size), sum, false,
                   source, size);
        out.Commit();
    });
}

void LocalBackend::copyFolder(const std::wstring& source, const std::wstring& target) {
    copyFolder(source, target, Progress());
}

void LocalBackend::copyFolder(const std::wstring& source, const std::wstring& target,
                              const Progress& progress) {
    CopyFolder(source, target, progress, nullptr);
}

void LocalBackend::copyFolder(const std::wstring& source, const std::wstring& target,
                              const Progress& progress, std::vector<NfsFileSum>& sums) {
    sums.clear();
    CopyFolder(source, target, progress, &sums);
}

void LocalBackend::shareFolder(const std::wstring& source, const std::wstring& target,
                               const Progress& progress, std::vector<NfsFileSum>& files,
                               NfsShareCount& how) {
    files.clear();
    how = NfsShareCount{};
    CopyFolder(source, target, progress, &files, &how);
}

namespace {

// A file system that cannot share this file this way: the next way is tried.
bool CannotShare(int error) {
    return error == EXDEV || error == EPERM || error == EMLINK || error == EOPNOTSUPP ||
           error == ENOTSUP || error == ENOSYS || error == EINVAL || error == ENOTTY;
}

}  // namespace

std::uint64_t LocalBackend::ShareFile(const fs::path& from, const fs::path& to,
                                      const std::wstring& name, const zub::StoreMode& store,
                                      NfsFileSum& file, NfsShareCount& how) const {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(ZUB_N_(L"the file \"%ls\" does not exist"), name.c_str()));
        fsutil::ThrowErrno(errno, "cannot read", from);
    }
    if (!S_ISREG(st.st_mode))
        throw NfsError(
            NFS_E_WRONG_KIND,
            zub::Format(ZUB_N_(L"the file \"%ls\" is not a regular file"), name.c_str()));
    const int linked = options_.hardLink != nullptr ? options_.hardLink(from.c_str(), to.c_str())
                                                    : ::linkat(AT_FDCWD, from.c_str(), AT_FDCWD,
                                                               to.c_str(), AT_SYMLINK_FOLLOW);
    if (linked == 0) {
        // From now on two names share these bytes: neither may be written.
        if ((st.st_mode & fsutil::kWriteBits) != 0 &&
            ::chmod(from.c_str(), st.st_mode & 07777 & ~mode_t{fsutil::kWriteBits}) != 0)
            fsutil::ThrowErrno(errno, "cannot set the mode of", from);
        ++how.linked;
        file.bytes = static_cast<std::uint64_t>(st.st_size);
        return file.bytes;
    }
    if (!CannotShare(errno)) fsutil::ThrowErrno(errno, "cannot link " + from.native() + " to", to);
    std::uint64_t size = 0;
    const zub::UniqueFd in = OpenSource(from, false, name, size);
    zub::UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out) fsutil::ThrowErrno(errno, "cannot create", to);
    fsutil::Seal(out.get(), to, store);
    const int cloned = options_.clone != nullptr ? options_.clone(in.get(), out.get())
                                                 : ::ioctl(out.get(), FICLONE, in.get());
    if (cloned == 0) {
        ++how.cloned;
        file.bytes = size;
    } else {
        if (!CannotShare(errno))
            fsutil::ThrowErrno(errno, "cannot clone " + from.native() + " to", to);
        // The bytes pass through here anyway: their sum comes for free.
        file.bytes = Copier().Copy(in.get(), from, out.get(), to, {}, &file.sha256);
        ++how.copied;
    }
    if (out.Close() != 0) fsutil::ThrowErrno(errno, "cannot write", to);
    return file.bytes;
}

void LocalBackend::CopyFolder(const std::wstring& source, const std::wstring& target,
                              const Progress& progress, std::vector<NfsFileSum>* sums,
                              NfsShareCount* share) {
    Guard(source, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path from = map.Follow(source);
        const fs::file_status st = fs::status(from);
        if (!fs::exists(st))
            throw NfsError(
                NFS_E_NOT_FOUND,
                zub::Format(ZUB_N_(L"the folder \"%ls\" does not exist"), source.c_str()));
        if (!fs::is_directory(st))
            throw NfsError(
                NFS_E_WRONG_KIND,
                zub::Format(ZUB_N_(L"the path \"%ls\" is not a folder"), source.c_str()));

        fs::path destination = map.Entry(target);
        std::wstring destinationName = target;
        if (fs::exists(fs::symlink_status(destination))) {
            const fs::path folder = map.Follow(target);
            if (!fs::is_directory(folder))
                throw NfsError(NFS_E_WRONG_KIND,
                               zub::Format(ZUB_N_(L"the target \"%ls\" exists and is not a folder"),
                                           target.c_str()));
            const fs::path name = RootMap::Relative(source).filename();
            destination = folder / name;
            destinationName = target + L"\\" + fsutil::ToText(name);
        }
        if (fs::exists(fs::symlink_status(destination)))
            throw NfsError(NFS_E_EXISTS, zub::Format(ZUB_N_(L"the folder \"%ls\" already exists"),
                                                     destinationName.c_str()));
        if (fsutil::IsWithin(destination, from))
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the folder \"%ls\" cannot be copied into itself"),
                                       source.c_str()));

        const TreePlan plan(map, from, source);
        MakeParent(map, destination, target);
        const zub::StoreMode store = zub::StoreMode::Of(map.root());
        TempDir temp(destination, store);
        const StreamCopier copier = Copier();
        std::uint64_t done = 0;
        for (const auto& item : plan.items()) {
            const fs::path to = temp.path() / item.relative;
            if (item.directory) {
                if (::mkdir(to.c_str(), 0700) != 0) fsutil::ThrowErrno(errno, "cannot create", to);
                store.SetFolder(to);
                continue;
            }
            const std::wstring name = fsutil::ServerChild(source, item.relative);
            if (share != nullptr) {
                NfsFileSum file;
                file.path = fsutil::ServerChild(L"", item.relative).substr(1);
                done += ShareFile(item.source, to, name, store, file, *share);
                if (progress) progress(done, plan.totalBytes());
                sums->push_back(std::move(file));
                continue;
            }
            std::uint64_t size = 0;
            const zub::UniqueFd in = OpenSource(item.source, false, name, size);
            zub::UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
            if (!out) fsutil::ThrowErrno(errno, "cannot create", to);
            fsutil::Seal(out.get(), to, store);
            if (sums == nullptr) {
                done += copier.Copy(in.get(), item.source, out.get(), to,
                                    StepFor(progress, done, plan.totalBytes()));
            } else {
                NfsFileSum file;
                file.path = fsutil::ServerChild(L"", item.relative).substr(1);
                file.bytes = copier.Copy(in.get(), item.source, out.get(), to,
                                         StepFor(progress, done, plan.totalBytes()), &file.sha256);
                done += file.bytes;
                sums->push_back(std::move(file));
            }
            if (out.Close() != 0) fsutil::ThrowErrno(errno, "cannot write", to);
        }
        temp.Commit(share != nullptr && share->cloned == 0 && share->copied == 0);
    });
}

namespace {

class LocalHold : public NfsHold {
public:
    explicit LocalHold(zub::UniqueFd fd) : fd_(std::move(fd)) {}

private:
    zub::UniqueFd fd_;
};

}  // namespace

std::unique_ptr<NfsHold> LocalBackend::hold(const std::wstring& path) {
    return Guard(path, [&]() -> std::unique_ptr<NfsHold> {
        Authorize();
        const RootMap map(root_);
        const fs::path entry = map.Entry(path);
        zub::UniqueFd fd(::open(entry.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        if (!fd) {
            if (errno == ENOENT || errno == ENOTDIR)
                throw NfsError(NFS_E_NOT_FOUND,
                               zub::Format(ZUB_N_(L"\"%ls\" does not exist"), path.c_str()));
            fsutil::ThrowErrno(errno, "cannot open", entry);
        }
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) return nullptr;
            fsutil::ThrowErrno(errno, "cannot lock", entry);
        }
        // The holder before may have removed it, or put another in its place.
        struct stat held {};
        struct stat now {};
        if (::fstat(fd.get(), &held) != 0 || held.st_nlink == 0 ||
            ::lstat(entry.c_str(), &now) != 0 || now.st_ino != held.st_ino ||
            now.st_dev != held.st_dev)
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(ZUB_N_(L"\"%ls\" does not exist"), path.c_str()));
        return std::make_unique<LocalHold>(std::move(fd));
    });
}

void LocalBackend::renameFile(const std::wstring& oldPath, const std::wstring& newPath) {
    Rename(oldPath, newPath, false);
}

void LocalBackend::renameFileUnsynced(const std::wstring& oldPath, const std::wstring& newPath) {
    Rename(oldPath, newPath, false, false);
}

void LocalBackend::renameFolder(const std::wstring& oldPath, const std::wstring& newPath) {
    Rename(oldPath, newPath, true);
}

void LocalBackend::Rename(const std::wstring& oldPath, const std::wstring& newPath, bool folder,
                          bool sync) {
    Guard(oldPath, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path from = map.Entry(oldPath);
        const fs::file_status st = fs::symlink_status(from);
        if (!fs::exists(st))
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(folder ? ZUB_N_(L"the folder \"%ls\" does not exist")
                                              : ZUB_N_(L"the file \"%ls\" does not exist"),
                                       oldPath.c_str()));
        if (folder && !fs::is_directory(st))
            throw NfsError(
                NFS_E_WRONG_KIND,
                zub::Format(ZUB_N_(L"the path \"%ls\" is not a folder"), oldPath.c_str()));
        if (!folder && fs::is_directory(st))
            throw NfsError(
                NFS_E_WRONG_KIND,
                zub::Format(ZUB_N_(L"the path \"%ls\" is a folder, not a file"), oldPath.c_str()));

        const fs::path to = map.Entry(newPath);
        if (!fs::is_directory(to.parent_path()))
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(ZUB_N_(L"the folder that would hold \"%ls\" does not exist"),
                                       newPath.c_str()));
        if (folder && fsutil::IsWithin(to, from))
            throw NfsError(NFS_E_INVALID,
                           zub::Format(ZUB_N_(L"the folder \"%ls\" cannot be moved into itself"),
                                       oldPath.c_str()));
        try {
            fsutil::RenameNoReplace(from, to);
        } catch (const std::system_error& e) {
            if (e.code().value() == EEXIST || e.code().value() == ENOTEMPTY)
                throw NfsError(
                    NFS_E_EXISTS,
                    zub::Format(ZUB_N_(L"the target \"%ls\" already exists"), newPath.c_str()));
            throw;
        }
        // On ext4 and xfs one rename changes both folders in one journal
        // transaction: the sync of the target's folder makes the whole move
        // durable, the source's side with it. A crash before it leaves the
        // file under its old name.
        if (sync) fsutil::SyncDir(to.parent_path());
    });
}

std::vector<NfsEntry> LocalBackend::listFolder(const std::wstring& dir) {
    return Guard(dir, [&] {
        Authorize();
        const RootMap map(root_);
        const fs::path start = map.Follow(dir);
        const fs::file_status st = fs::status(start);
        if (!fs::exists(st))
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(ZUB_N_(L"the folder \"%ls\" does not exist"), dir.c_str()));
        if (!fs::is_directory(st))
            throw NfsError(NFS_E_WRONG_KIND,
                           zub::Format(ZUB_N_(L"the path \"%ls\" is not a folder"), dir.c_str()));
        std::vector<NfsEntry> entries;
        // Depth first in name order, so a folder comes right before its content.
        const std::function<void(const fs::path&)> walk = [&](const fs::path& relative) {
            std::vector<fs::directory_entry> children;
            for (const auto& child : fs::directory_iterator(start / relative))
                if (!fsutil::IsTemporaryName(child.path().filename().native()))
                    children.push_back(child);
            std::sort(children.begin(), children.end());
            for (const auto& child : children) {
                NfsEntry entry;
                const fs::path name = relative / child.path().filename();
                entry.path = fsutil::ServerChild(L"", name).substr(1);
                // A link that leads nowhere is listed as an empty file.
                struct stat info {};
                if (::stat(child.path().c_str(), &info) != 0) info = {};
                entry.folder = S_ISDIR(info.st_mode);
                entry.modified = static_cast<std::int64_t>(info.st_mtime);
                if (S_ISREG(info.st_mode)) {
                    entry.bytes = static_cast<std::uint64_t>(info.st_size);
                    entry.writable = (info.st_mode & fsutil::kWriteBits) != 0;
                    entry.device = static_cast<std::uint64_t>(info.st_dev);
                    entry.node = static_cast<std::uint64_t>(info.st_ino);
                }
                entries.push_back(std::move(entry));
                if (entries.back().folder) walk(name);
            }
        };
        walk(fs::path());
        return entries;
    });
}

std::vector<NfsDebris> LocalBackend::debris(const std::wstring& dir, bool remove) {
    return debris(dir, remove, Keep());
}

std::vector<NfsDebris> LocalBackend::debris(const std::wstring& dir, bool remove,
                                            const Keep& keep) {
    return Guard(dir, [&] {
        Authorize();
        const RootMap map(root_);
        if (dir.empty()) return Debris::Collect(map.root(), L"", remove, keep);
        const fs::path start = map.Follow(dir);
        if (!fs::is_directory(start))
            throw NfsError(NFS_E_NOT_FOUND,
                           zub::Format(ZUB_N_(L"the folder \"%ls\" does not exist"), dir.c_str()));
        return Debris::Collect(start, dir, remove, keep);
    });
}

std::wstring LocalBackend::where(const std::wstring& path) {
    return Guard(path, [&] {
        // The root need not exist: two spellings of a missing folder still
        // name one place.
        fs::path place = fs::weakly_canonical(root_);
        if (!NamesRoot(path)) place = fs::weakly_canonical(place / RootMap::Relative(path));
        std::string text = place.generic_string();
        while (text.size() > 1 && text.back() == '/') text.pop_back();
        return L"file:" + zub::Utf8ToWide(text);
    });
}

std::wstring LocalBackend::owner() {
    return Guard(L"", [&] {
        const auto owner = RootOwner::Read(root_);
        return owner ? owner->Text() : std::wstring();
    });
}

void LocalBackend::setOwner(const std::wstring& owner) {
    Guard(L"", [&] {
        Authorize();
        const RootMap map(root_);
        const auto parsed = RootOwner::Parse(owner);
        if (!parsed) throw NfsError(NFS_E_INVALID, ZUB_N_(L"no owner given for the root"));
        RootOwner::Write(map.root(), *parsed);
    });
}

}  // namespace NFS
