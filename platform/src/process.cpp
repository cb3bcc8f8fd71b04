#include "zub/platform/process.h"

#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <thread>
#include <utility>

#include "zub/text.h"
#include "zub/uniquefd.h"

extern char** environ;

namespace zub::platform {

namespace {

Error Done(Error e) {
    SetLastError(e);
    return e;
}

std::uint32_t StatusToCode(int status) {
    if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return 128U + static_cast<std::uint32_t>(WTERMSIG(status));
    return 0;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

std::string SearchPath(const std::string& name) {
    const char* env = std::getenv("PATH");
    std::string path = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        // An empty entry is the current directory.
        std::string dir = end > start ? path.substr(start, end - start) : std::string(".");
        std::string candidate = dir + "/" + name;
        if (IsExecutableFile(candidate)) {
            std::error_code ec;
            auto full = std::filesystem::absolute(candidate, ec);
            return ec ? candidate : full.lexically_normal().string();
        }
        start = end + 1;
    }
    return {};
}

// Owns the posix_spawn attribute objects.
class SpawnSetup {
public:
    SpawnSetup() { posix_spawn_file_actions_init(&actions_); }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() { posix_spawn_file_actions_destroy(&actions_); }
    posix_spawn_file_actions_t* Actions() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

Error Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::string& directory, pid_t& pid) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    SpawnSetup setup;
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(setup.Actions(), directory.c_str());
    int rc = posix_spawn(&pid, program.c_str(), setup.Actions(), nullptr, argv.data(), environ);
    if (rc == 0) return kErrorSuccess;
    if (rc == ENOEXEC) return kErrorBadExeFormat;
    return ErrorFromErrno(rc);
}

}  // namespace

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, 0)), ended_(other.ended_), exitCode_(other.exitCode_) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Close();
        pid_ = std::exchange(other.pid_, 0);
        ended_ = other.ended_;
        exitCode_ = other.exitCode_;
    }
    return *this;
}

Process::~Process() { Close(); }

void Process::Close() {
    if (pid_ > 0 && !ended_) {
        // Nobody waits any more; reap it when it ends so it leaves no zombie.
        pid_t pid = pid_;
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        }).detach();
    }
    pid_ = 0;
    ended_ = false;
    exitCode_ = 0;
}

Error Process::Wait(std::uint32_t milliseconds) {
    if (pid_ <= 0) return Done(kErrorInvalidHandle);
    if (ended_) return Done(kErrorSuccess);
    int status = 0;
    if (milliseconds == kInfinite) {
        pid_t r;
        while ((r = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {}
        if (r != pid_) return Done(ErrorFromErrno(errno));
        ended_ = true;
        exitCode_ = StatusToCode(status);
        return Done(kErrorSuccess);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    const zub::UniqueFd pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
    while (true) {
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            ended_ = true;
            exitCode_ = StatusToCode(status);
            return Done(kErrorSuccess);
        }
        if (r < 0 && errno != EINTR) {
            return Done(ErrorFromErrno(errno));
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        // Rounded up, so the wait never ends before its time.
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (pidfd) {
            struct pollfd p = {pidfd.get(), POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left.count()));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
        }
    }
    return Done(kErrorWaitTimeout);
}

Error Process::GetExitCode(std::uint32_t& code) {
    if (pid_ <= 0) return Done(kErrorInvalidHandle);
    if (!ended_) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            ended_ = true;
            exitCode_ = StatusToCode(status);
        } else if (r < 0) {
            return Done(ErrorFromErrno(errno));
        }
    }
    code = ended_ ? exitCode_ : kStillActive;
    return Done(kErrorSuccess);
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& text) {
    std::vector<std::wstring> args;
    std::wstring current;
    bool inArg = false;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size();) {
        wchar_t c = text[i];
        if (!quoted && (c == L' ' || c == L'\t')) {
            if (inArg) args.push_back(std::exchange(current, {}));
            inArg = false;
            ++i;
            continue;
        }
        inArg = true;
        if (c == L'\\') {
            std::size_t n = 0;
            while (i < text.size() && text[i] == L'\\') {
                ++n;
                ++i;
            }
            if (i < text.size() && text[i] == L'"') {
                current.append(n / 2, L'\\');
                if (n % 2 == 1) {
                    current += L'"';
                    ++i;
                }
            } else {
                current.append(n, L'\\');
            }
            continue;
        }
        if (c == L'"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == L'"') {
                current += L'"';
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (inArg) args.push_back(current);
    return args;
}

Error FindProgramInPath(const std::wstring& name, std::wstring& fullPath) {
    std::string n = WideToUtf8(name);
    if (n.empty()) return Done(kErrorFileNotFound);
    if (n.find('/') != std::string::npos) {
        if (!IsExecutableFile(n)) return Done(kErrorFileNotFound);
        std::error_code ec;
        auto full = std::filesystem::absolute(n, ec);
        fullPath = Utf8ToWide(ec ? n : full.lexically_normal().string());
        return Done(kErrorSuccess);
    }
    std::string found = SearchPath(n);
    if (found.empty()) return Done(kErrorFileNotFound);
    fullPath = Utf8ToWide(found);
    return Done(kErrorSuccess);
}

Error ShellExecute(const ShellExecuteInfo& info, Process& process) {
    process.Close();
    if (!info.verb.empty() && !SameIgnoringCase(info.verb, L"open"))
        return Done(kErrorNoAssociation);
    std::string file = WideToUtf8(info.file);
    std::string dir = WideToUtf8(info.directory);
    if (file.empty()) return Done(kErrorFileNotFound);
    std::error_code ec;
    if (!dir.empty() && !std::filesystem::is_directory(dir, ec)) return Done(kErrorPathNotFound);

    // A relative name is looked for in the given directory first, then here,
    // then (without "/") along PATH, as the shell does.
    std::string resolved;
    auto exists = [&ec](const std::string& p) { return std::filesystem::exists(p, ec); };
    if (file[0] == '/') {
        if (exists(file)) resolved = file;
    } else {
        if (!dir.empty() && exists(dir + "/" + file)) {
            resolved = dir + "/" + file;
        } else if (exists(file)) {
            resolved = std::filesystem::absolute(file, ec).string();
        } else if (file.find('/') == std::string::npos) {
            resolved = SearchPath(file);
        }
    }
    if (resolved.empty()) {
        bool parentMissing =
            file.find('/') != std::string::npos &&
            !std::filesystem::is_directory(std::filesystem::path(file).parent_path(), ec);
        return Done(parentMissing ? kErrorPathNotFound : kErrorFileNotFound);
    }

    std::string program;
    std::vector<std::string> args;
    if (IsExecutableFile(resolved)) {
        program = resolved;
        args.push_back(file);
        for (const auto& a : SplitCommandLine(info.parameters)) args.push_back(WideToUtf8(a));
    } else {
        // A document or a folder: its associated program opens it.
        program = SearchPath("xdg-open");
        if (program.empty()) return Done(kErrorNoAssociation);
        args = {"xdg-open", resolved};
    }
    pid_t pid = 0;
    Error e = Spawn(program, args, dir, pid);
    if (e != kErrorSuccess) return Done(e);
    Process started(pid);
    if (info.wantProcess) process = std::move(started);
    return Done(kErrorSuccess);
}

}  // namespace zub::platform
