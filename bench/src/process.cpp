#include "process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "zub/uniquefd.h"

extern char** environ;

namespace zub::bench {

namespace {

// Output goes to unlinked temporary files rather than pipes: a chatty child
// can never block on a full pipe while we wait for it.
zub::UniqueFd TempOutput() {
    char name[] = "/tmp/zub_bench_outXXXXXX";
    zub::UniqueFd fd(::mkstemp(name));
    if (!fd) throw std::runtime_error(std::string("mkstemp: ") + std::strerror(errno));
    ::unlink(name);
    return fd;
}

std::string ReadAll(int fd) {
    std::string text;
    if (::lseek(fd, 0, SEEK_SET) < 0) return text;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

class SpawnActions {
public:
    SpawnActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~SpawnActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

// This process's peak resident memory so far, in bytes (0 if unknown).
long long OwnPeakRss() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    }
    return 0;
}

}  // namespace

std::string Process::CommandText(const std::vector<std::string>& argv) {
    std::string text;
    for (const auto& a : argv) {
        if (!text.empty()) text += ' ';
        text += a;
    }
    return text;
}

ProcessResult Process::Run(const std::vector<std::string>& argv, const std::filesystem::path& cwd) {
    if (argv.empty()) throw std::invalid_argument("Process::Run: empty command");
    zub::UniqueFd out = TempOutput();
    zub::UniqueFd err = TempOutput();

    SpawnActions actions;
    ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(actions.get(), out.get(), 1);
    ::posix_spawn_file_actions_adddup2(actions.get(), err.get(), 2);
    if (!cwd.empty()) ::posix_spawn_file_actions_addchdir_np(actions.get(), cwd.c_str());

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    // Until exec the child runs in our address space, and the kernel takes
    // that space's peak into the child's ru_maxrss: a figure not above our
    // own peak may be ours, not the child's.
    const long long floor = OwnPeakRss();
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], actions.get(), nullptr, args.data(), environ);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));

    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
        if (errno != EINTR) throw std::runtime_error(std::string("wait4: ") + std::strerror(errno));
    }
    const auto end = std::chrono::steady_clock::now();

    ProcessResult result;
    result.seconds = std::chrono::duration<double>(end - start).count();
    const long long peak = static_cast<long long>(usage.ru_maxrss) * 1024;
    result.peakRssBytes = peak > floor ? peak : 0;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exitCode = 128 + WTERMSIG(status);
    result.out = ReadAll(out.get());
    result.err = ReadAll(err.get());
    return result;
}

ProcessResult Process::RunChecked(const std::vector<std::string>& argv,
                                  const std::filesystem::path& cwd) {
    ProcessResult result = Run(argv, cwd);
    if (result.exitCode != 0) {
        std::string err = result.err;
        if (err.size() > 2000) err = "..." + err.substr(err.size() - 2000);
        throw std::runtime_error(CommandText(argv) + " exited with " +
                                 std::to_string(result.exitCode) + ": " + err);
    }
    return result;
}

}  // namespace zub::bench
