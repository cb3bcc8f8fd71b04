// Sizes of one benchmark run. The full run is what the table reports; the
// quick run (--quick) checks the machinery in seconds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zub::bench {

struct BenchConfig {
    int smallCount = 100;
    std::uint64_t smallBytes = 4096;
    std::uint64_t largeBytes = std::uint64_t{1} << 30;
    std::vector<int> scaleSizes{1000, 10000, 100000};
    int scaleOps = 100;          // documents added and checked in at each size
    int historyVersions = 1000;  // seeded history rows of one document
    int historyCheckins = 50;    // check-ins of that document
    int baselineSize = 10000;    // one of scaleSizes
    int listReps = 10;           // timed listings after a warm-up (half at 100,000 and more)
    int largeIterations = 3;     // each 1 GiB step; the fastest counts
    int pairs = 8;               // check-in and cp + fsync in alternation, at 512 MiB and 1 GiB
    int chunk = 10;              // small files measured in turns of this many per part
    bool quick = false;
    bool svn = true;
    bool keep = false;              // keep the work folder
    std::filesystem::path workDir;  // empty: a new folder under $TMPDIR or /var/tmp

    static BenchConfig Quick() {
        BenchConfig c;
        c.quick = true;
        c.smallCount = 20;
        c.largeBytes = std::uint64_t{32} << 20;
        c.scaleSizes = {100, 1000, 10000};
        c.scaleOps = 20;
        c.historyVersions = 100;
        c.historyCheckins = 5;
        c.baselineSize = 1000;
        c.listReps = 2;
        c.largeIterations = 1;
        c.chunk = 5;
        c.pairs = 2;
        return c;
    }
};

}  // namespace zub::bench
