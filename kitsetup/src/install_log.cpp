#include "kitsetup/install_log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <vector>

#include "zub/text.h"

namespace zub::kitsetup {

namespace {

std::mutex& PathMutex() {
    static std::mutex m;
    return m;
}

std::string& PathRef() {
    static std::string path = InstallLog::DefaultPath();
    return path;
}

// Lines whose file could not be opened; they go first into the next file
// that opens, so an install's early lines reach its log once the folder exists.
std::vector<std::string>& Pending() {
    static std::vector<std::string> lines;
    return lines;
}
constexpr std::size_t kMaxPending = 10000;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File OpenAppend(const std::string& path) {
    return File(path.empty() ? nullptr : std::fopen(path.c_str(), "a"), &std::fclose);
}

std::atomic<bool> g_debug{false};
std::atomic<InstallLog::Echo> g_echo{nullptr};

void Write(const std::wstring& message, bool debug) {
    char stamp[64] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local) == 0) {
        stamp[0] = '\0';
    }
    const std::string line = std::string(stamp) + ": " + zub::WideToNarrow(message) + "\n";
    {
        std::lock_guard lock(PathMutex());
        const File f = OpenAppend(PathRef());
        auto& pending = Pending();
        if (f) {
            for (const auto& p : pending) std::fwrite(p.data(), 1, p.size(), f.get());
            pending.clear();
            std::fwrite(line.data(), 1, line.size(), f.get());
            std::fflush(f.get());
        } else if (pending.size() < kMaxPending) {
            pending.push_back(line);
        }
    }
    if (auto echo = g_echo.load()) echo(message, debug);
}

}  // namespace

std::string InstallLog::DefaultPath() {
    const char* root = std::getenv("ZUB_ROOT");
    std::string base = root != nullptr ? root : "";
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/tmp/zub.log";
}

void InstallLog::SetPath(const std::string& path, bool keepPending) {
    std::lock_guard lock(PathMutex());
    PathRef() = path;
    if (!keepPending) Pending().clear();
}

bool InstallLog::MoveTo(const std::string& path) {
    std::lock_guard lock(PathMutex());
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const File to = OpenAppend(path);
    if (!to) return false;
    if (PathRef() != path) {
        std::ifstream from(PathRef(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(from)), std::istreambuf_iterator<char>());
        std::fwrite(text.data(), 1, text.size(), to.get());
    }
    for (const auto& p : Pending()) std::fwrite(p.data(), 1, p.size(), to.get());
    Pending().clear();
    const bool written = std::fflush(to.get()) == 0 && std::ferror(to.get()) == 0;
    PathRef() = path;
    return written;
}

std::string InstallLog::Path() {
    std::lock_guard lock(PathMutex());
    return PathRef();
}

void InstallLog::SetDebug(bool on) { g_debug = on; }
bool InstallLog::Debug() { return g_debug; }

void InstallLog::Log(const std::wstring& message) { Write(message, false); }

void InstallLog::DebugLog(const std::wstring& message) {
    if (g_debug) Write(message, true);
}

void InstallLog::SetEcho(Echo echo) { g_echo = echo; }

}  // namespace zub::kitsetup
