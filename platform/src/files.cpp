#include "zub/platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "zub/text.h"
#include "zub/uniquefd.h"

namespace zub::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kEpochDifferenceSeconds = 11644473600ULL;  // 1601 to 1970

Error Done(Error e) {
    SetLastError(e);
    return e;
}

Error CopyContent(const std::string& from, const std::string& to, const struct stat& st) {
    zub::UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) return ErrorFromErrno(errno);
    zub::UniqueFd out(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
    if (!out) return ErrorFromErrno(errno);
    char buf[1 << 16];
    while (true) {
        ssize_t n = ::read(in.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ErrorFromErrno(errno);
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out.get(), buf + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return ErrorFromErrno(errno);
            }
            done += w;
        }
    }
    // The copy keeps the last-write time, as CopyFile does.
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    ::fchmod(out.get(), st.st_mode & 07777);
    if (out.Close() != 0) return ErrorFromErrno(errno);
    return kErrorSuccess;
}

Error CopyFileImpl(const std::string& from, const std::string& to, bool failIfExists) {
    struct stat src {};
    if (::stat(from.c_str(), &src) != 0) {
        std::error_code ec;
        if (errno == ENOENT && !fs::is_directory(fs::path(from).parent_path(), ec))
            return kErrorPathNotFound;
        return ErrorFromErrno(errno);
    }
    if (S_ISDIR(src.st_mode)) return kErrorAccessDenied;
    struct stat dst {};
    if (::stat(to.c_str(), &dst) == 0) {
        if (S_ISDIR(dst.st_mode)) return kErrorAccessDenied;
        if (failIfExists) return kErrorFileExists;
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) return kErrorSharingViolation;
    }
    fs::path target(to);
    fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) return kErrorPathNotFound;
    // A reader of the target sees the old file or the whole new one.
    std::string temp =
        (dir / ("." + target.filename().string() + ".zubcopy-" + std::to_string(::getpid())))
            .string();
    ::unlink(temp.c_str());
    Error e = CopyContent(from, temp, src);
    if (e != kErrorSuccess) {
        ::unlink(temp.c_str());
        return e;
    }
    if (failIfExists) {
        // link() refuses an existing name, so a racing creator keeps its file.
        if (::link(temp.c_str(), to.c_str()) != 0) {
            int err = errno;
            ::unlink(temp.c_str());
            return err == EEXIST ? kErrorFileExists : ErrorFromErrno(err);
        }
        ::unlink(temp.c_str());
        return kErrorSuccess;
    }
    if (::rename(temp.c_str(), to.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return ErrorFromErrno(err);
    }
    return kErrorSuccess;
}

}  // namespace

Error RemoveWriteLeftovers(const std::wstring& target) {
    const fs::path t(WideToUtf8(target));
    std::error_code ec;
    fs::directory_iterator it(t.parent_path(), ec);
    if (ec)
        return Done(ec == std::errc::no_such_file_or_directory ? kErrorSuccess
                                                               : ErrorFromErrno(ec.value()));
    // CopyFile's ".NAME.zubcopy-PID" and WriteShellLink's ".NAME.tmpPID".
    const std::string base = "." + t.filename().string();
    std::vector<fs::path> stale;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (const char* tag : {".zubcopy-", ".tmp"}) {
            const std::string prefix = base + tag;
            if (name.size() > prefix.size() && name.rfind(prefix, 0) == 0 &&
                name.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
                stale.push_back(it->path());
        }
    }
    for (const auto& p : stale) {
        if (!fs::remove(p, ec) && ec) return Done(ErrorFromErrno(ec.value()));
    }
    return Done(kErrorSuccess);
}

Error CreateDirectoryWithParents(const std::wstring& path) {
    std::string p = WideToUtf8(path);
    if (p.empty() || p[0] != '/') return Done(kErrorBadPathname);
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0)
        return Done(S_ISDIR(st.st_mode) ? kErrorAlreadyExists : kErrorFileExists);
    for (std::size_t i = 1; i <= p.size(); ++i) {
        if (i != p.size() && p[i] != '/') continue;
        std::string part = p.substr(0, i);
        if (part.back() == '/') continue;
        if (::stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return Done(kErrorPathNotFound);
            continue;
        }
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            int err = errno;
            return Done(err == ENOTDIR ? kErrorPathNotFound : ErrorFromErrno(err));
        }
    }
    return Done(kErrorSuccess);
}

Error CopyFile(const std::wstring& from, const std::wstring& to, bool failIfExists) {
    return Done(CopyFileImpl(WideToUtf8(from), WideToUtf8(to), failIfExists));
}

Error CopyFolder(const std::wstring& from, const std::wstring& to) {
    fs::path src(WideToUtf8(from));
    fs::path dst(WideToUtf8(to));
    std::error_code ec;
    auto status = fs::status(src, ec);
    if (!fs::exists(status)) return Done(kErrorFileNotFound);
    if (!fs::is_directory(status)) return Done(kErrorDirectory);
    if (fs::exists(dst, ec) && !fs::is_directory(dst, ec)) return Done(kErrorAlreadyExists);
    auto rel = dst.lexically_normal().lexically_relative(src.lexically_normal());
    if (!rel.empty() && *rel.begin() != "..") return Done(kErrorInvalidParameter);  // into itself
    fs::create_directories(dst, ec);
    if (ec) return Done(ErrorFromErrno(ec.value()));
    for (auto it = fs::recursive_directory_iterator(src, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::path target = dst / it->path().lexically_relative(src);
        if (it->is_symlink(ec)) {
            fs::remove(target, ec);
            fs::copy_symlink(it->path(), target, ec);
            if (ec) return Done(ErrorFromErrno(ec.value()));
        } else if (it->is_directory(ec)) {
            fs::create_directories(target, ec);
            if (ec) return Done(ErrorFromErrno(ec.value()));
        } else {
            Error e = CopyFileImpl(it->path().string(), target.string(), false);
            if (e != kErrorSuccess) return Done(e);
        }
    }
    if (ec) return Done(ErrorFromErrno(ec.value()));
    return Done(kErrorSuccess);
}

Error GetFileCreationTime(const std::wstring& path, FileTime& time) {
    struct statx sx {};
    std::string p = WideToUtf8(path);
    if (::statx(AT_FDCWD, p.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) {
        return Done(ErrorFromErrno(errno));
    }
    const struct statx_timestamp& ts =
        (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime : sx.stx_mtime;
    auto seconds =
        static_cast<std::uint64_t>(ts.tv_sec + static_cast<std::int64_t>(kEpochDifferenceSeconds));
    time.ticks = seconds * 10000000ULL + ts.tv_nsec / 100;
    return Done(kErrorSuccess);
}

int CompareFileTime(const FileTime& a, const FileTime& b) {
    if (a.ticks < b.ticks) return -1;
    return a.ticks > b.ticks ? 1 : 0;
}

}  // namespace zub::platform
