// A component whose self-registration does not return in time: it waits
// until the test releases it (or five seconds pass).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {
std::atomic<bool> g_release{false};
std::atomic<bool> g_running{false};
}  // namespace

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() {
    g_running = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!g_release && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    g_running = false;
    return 0;
}

extern "C" __attribute__((visibility("default"))) void kittest_release() { g_release = true; }
extern "C" __attribute__((visibility("default"))) bool kittest_running() { return g_running; }
