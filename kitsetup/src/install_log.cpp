#include "kitsetup/install_log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>

#include "zub/text.h"

namespace kitsetup {

namespace {

std::mutex& PathMutex() {
    static std::mutex m;
    return m;
}

std::string& PathRef() {
    static std::string path = InstallLog::DefaultPath();
    return path;
}

std::atomic<bool> g_debug{false};
std::atomic<InstallLog::Echo> g_echo{nullptr};

void Write(const std::wstring& message, bool debug) {
    std::string path = InstallLog::Path();
    char stamp[64] = "";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local) == 0) {
        stamp[0] = '\0';
    }
    const std::string line = std::string(stamp) + ": " + zub::WideToNarrow(message) + "\n";
    {
        const auto close = [](std::FILE* f) { std::fclose(f); };
        std::unique_ptr<std::FILE, decltype(close)> f(std::fopen(path.c_str(), "a"), close);
        if (f) {
            std::fwrite(line.data(), 1, line.size(), f.get());
            std::fflush(f.get());
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

void InstallLog::SetPath(const std::string& path) {
    std::lock_guard lock(PathMutex());
    PathRef() = path;
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

}  // namespace kitsetup
