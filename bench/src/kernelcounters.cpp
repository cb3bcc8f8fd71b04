#include "kernelcounters.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace zub::bench {

namespace {

std::string Slurp(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "some avg10=0.00 avg60=0.00 avg300=0.00 total=6975843" -> microseconds.
long long PressureTotal(const std::string& text, const std::string& kind) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(kind + " ", 0) != 0) continue;
        const auto at = line.find("total=");
        if (at != std::string::npos) return std::stoll(line.substr(at + 6));
    }
    return 0;
}

}  // namespace

KernelCounters KernelCounters::Now() {
    return Parse(Slurp("/proc/vmstat"), Slurp("/proc/stat"), Slurp("/proc/pressure/cpu"),
                 Slurp("/proc/pressure/memory"), Slurp("/proc/pressure/io"));
}

KernelCounters KernelCounters::Parse(const std::string& vmstat, const std::string& stat,
                                     const std::string& cpuPressure,
                                     const std::string& memoryPressure,
                                     const std::string& ioPressure) {
    KernelCounters k;
    std::istringstream vm(vmstat);
    std::string name;
    long long value = 0;
    while (vm >> name >> value) {
        // The allocation stalls come per zone; only their sum matters here.
        if (name.rfind("allocstall_", 0) == 0) name = "allocstall";
        k.values_[name] += value;
    }
    // "cpu  user nice system idle iowait irq softirq steal ...", in ticks.
    std::istringstream cpu(stat);
    std::string label;
    long long field[8] = {};
    if (cpu >> label && label == "cpu") {
        for (long long& f : field) cpu >> f;
        const long long tick = ::sysconf(_SC_CLK_TCK) > 0 ? ::sysconf(_SC_CLK_TCK) : 100;
        k.values_["steal_ms"] = field[7] * 1000 / tick;
    }
    k.values_["cpu_some_us"] = PressureTotal(cpuPressure, "some");
    k.values_["memory_some_us"] = PressureTotal(memoryPressure, "some");
    k.values_["io_some_us"] = PressureTotal(ioPressure, "some");
    k.values_["io_full_us"] = PressureTotal(ioPressure, "full");
    return k;
}

KernelCounters KernelCounters::operator-(const KernelCounters& earlier) const {
    KernelCounters d = *this;
    for (auto& [key, v] : d.values_) v -= earlier.Get(key);
    return d;
}

KernelCounters& KernelCounters::operator+=(const KernelCounters& more) {
    for (const auto& [key, v] : more.values_) values_[key] += v;
    return *this;
}

long long KernelCounters::Get(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? 0 : it->second;
}

std::string KernelCounters::Text() const {
    std::ostringstream t;
    t << "reclaim " << Get("pgscan_kswapd") << "+" << Get("pgscan_direct")
      << " pages scanned by kswapd+direct, " << Get("allocstall") << " allocation stalls, "
      << Get("compact_stall") << " compaction stalls ("
      << Get("compact_migrate_scanned") + Get("compact_free_scanned") << " pages scanned), "
      << Get("thp_fault_alloc") << " huge-page faults; stalled on cpu " << Get("cpu_some_us") / 1000
      << " ms, memory " << Get("memory_some_us") / 1000 << " ms, io " << Get("io_some_us") / 1000
      << " ms (all tasks " << Get("io_full_us") / 1000 << " ms); steal " << Get("steal_ms")
      << " ms";
    return t.str();
}

}  // namespace zub::bench
