// Feeds Google Benchmark's runs into the result table ("<row>/<part>" names)
// and shows progress on standard error while the run goes on.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

#include "resulttable.h"

namespace zub::bench {

class TableReporter : public benchmark::BenchmarkReporter {
public:
    explicit TableReporter(ResultTable& table) : table_(table) {}

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;

private:
    ResultTable& table_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace zub::bench
