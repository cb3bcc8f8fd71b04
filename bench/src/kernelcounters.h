// What the kernel spent on the whole machine during a span: memory reclaim
// and compaction, time tasks stalled on processor, memory or disk, and time
// the hypervisor took away. Read beside a slow step, it tells whether the
// time went to the step or to the machine around it.
#pragma once

#include <map>
#include <string>

namespace zub::bench {

class KernelCounters {
public:
    // The counters now (missing sources read as zero: a kernel without
    // pressure accounting still gives the rest).
    static KernelCounters Now();

    // From the texts of /proc/vmstat, /proc/stat and the "some"/"full" lines
    // of /proc/pressure/{cpu,memory,io}.
    static KernelCounters Parse(const std::string& vmstat, const std::string& stat,
                                const std::string& cpuPressure, const std::string& memoryPressure,
                                const std::string& ioPressure);

    KernelCounters operator-(const KernelCounters& earlier) const;
    KernelCounters& operator+=(const KernelCounters& more);

    long long Get(const std::string& name) const;

    // One line: pages reclaimed and scanned, compaction, stalls and steal in ms.
    std::string Text() const;

private:
    std::map<std::string, long long> values_;
};

}  // namespace zub::bench
