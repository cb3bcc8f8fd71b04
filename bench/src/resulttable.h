// The one table the benchmark prints: each operation beside its raw cost and
// the Subversion peer, with throughput, peak memory and growth with size.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zub::bench {

struct RowSpec {
    std::string key;        // benchmark name prefix: "<key>/<part>"
    std::string operation;  // what a user did
    std::string size;       // how much
    double items = 0;       // documents handled, for docs/s (0: none)
    double bytes = 0;       // bytes moved, for MB/s (0: none)
    // Row measured at a tenth of this size: growth is the ratio of time per
    // item between the two, 1.0 meaning linear.
    std::string growthOf;
};

struct PartResult {
    std::string label;
    double seconds = 0.0;
    long long peakRssBytes = 0;
    std::string error;
    double cpuSeconds = 0.0;
};

class ResultTable {
public:
    // Parts: "ours", "svn", "raw_*" (summed into the raw column), "dur_*" (the
    // same raw part made durable: in the durable column it replaces raw_*)
    // and "ref_*" (reference figures printed under the table).
    void DefineRow(RowSpec def);
    void DefinePart(const std::string& key, const std::string& part, std::string label);
    // What a defined part reports, known only once it ran.
    void SetLabel(const std::string& key, const std::string& part, std::string label);
    void Record(const std::string& key, const std::string& part, double seconds,
                long long peakRssBytes, const std::string& error, double cpuSeconds = 0.0);

    bool HasErrors() const;
    // Rows whose ratio exceeds the limit.
    std::vector<std::string> RowsAbove(double ratio) const;
    std::string Markdown() const;

    static std::string FormatSeconds(double s);
    static std::string FormatBytes(long long b);

private:
    struct Row {
        RowSpec def;
        std::vector<std::string> partOrder;
        std::map<std::string, PartResult> parts;
    };
    const Row* Find(const std::string& key) const;
    std::optional<double> Ours(const Row& row) const;
    // Sum of the raw parts; with `durable`, each replaced by its dur_ twin.
    std::optional<double> Raw(const Row& row, bool durable) const;
    std::string Rate(const Row& row, double seconds) const;
    std::string Cell(const Row& row, const std::string& part) const;

    std::vector<Row> rows_;
};

}  // namespace zub::bench
