// What the benches share: a timer, a median, and the stand-alone benches'
// (sum, WebDAV, PostgreSQL) size knobs from the environment.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace zub::bench {

// Wall seconds `fn` takes.
inline double Seconds(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The middle value (the mean of the middle two for an even count); 0 for none.
inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A count from the environment; unset or empty gives `fallback`.
inline std::uint64_t Env(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::stoull(value) : fallback;
}

}  // namespace zub::bench
