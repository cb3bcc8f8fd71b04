// What one measured step cost.
#pragma once

struct Measure {
    double seconds = 0.0;
    long long peakRssBytes = 0;

    void Add(const Measure& other) {
        seconds += other.seconds;
        if (other.peakRssBytes > peakRssBytes)
            peakRssBytes = other.peakRssBytes;
    }
};
