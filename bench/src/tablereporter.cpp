#include "tablereporter.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace zub::bench {

bool TableReporter::ReportContext(const Context& context) {
    std::cerr << "benchmarks on " << context.cpu_info.num_cpus << " cores, "
              << context.executable_name << "\n";
    return true;
}

void TableReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration) continue;
        const std::string name = run.benchmark_name();
        const auto slash = name.find('/');
        const auto end = name.find('/', slash == std::string::npos ? 0 : slash + 1);
        if (slash == std::string::npos) {
            std::cerr << "unexpected benchmark name: " << name << "\n";
            continue;
        }
        const std::string key = name.substr(0, slash);
        const std::string part =
            name.substr(slash + 1, end == std::string::npos ? std::string::npos : end - slash - 1);
        const double mean = run.iterations > 0
                                ? run.real_accumulated_time / static_cast<double>(run.iterations)
                                : 0.0;
        double seconds = mean;
        if (auto c = run.counters.find("min_s"); c != run.counters.end() && c->second.value > 0)
            seconds = c->second.value;
        long long peak = 0;
        if (auto c = run.counters.find("peak_rss"); c != run.counters.end())
            peak = static_cast<long long>(c->second.value);
        double cpu = 0;
        if (auto c = run.counters.find("cpu_s"); c != run.counters.end()) cpu = c->second.value;
        const std::string error = run.error_occurred ? run.error_message : std::string();
        table_.Record(key, part, seconds, peak, error, cpu);
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        char clock[32];
        std::snprintf(clock, sizeof clock, "[%4.0f s] ", elapsed);
        std::cerr << clock << key << "/" << part << ": "
                  << (error.empty() ? ResultTable::FormatSeconds(seconds) : "ERROR " + error)
                  << (peak > 0 ? ", peak " + ResultTable::FormatBytes(peak) : std::string())
                  << "\n";
    }
}

}  // namespace zub::bench
