// What the stand-alone benches (sum, WebDAV, PostgreSQL) share: a timer and
// their size knobs from the environment.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

namespace zub::bench {

// Wall seconds `fn` takes.
inline double Seconds(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A count from the environment; unset or empty gives `fallback`.
inline std::uint64_t Env(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::stoull(value) : fallback;
}

}  // namespace zub::bench
