// What one measured step cost.
#pragma once

namespace zub::bench {

struct Measure {
    double seconds = 0.0;
    long long peakRssBytes = 0;
    double cpuSeconds = 0.0;  // processor time, where the step reports it

    void Add(const Measure& other) {
        seconds += other.seconds;
        cpuSeconds += other.cpuSeconds;
        if (other.peakRssBytes > peakRssBytes) peakRssBytes = other.peakRssBytes;
    }
};

}  // namespace zub::bench
