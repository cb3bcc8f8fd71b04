// Every measurement of the run, registered with Google Benchmark in the order
// they must run (later steps use what earlier ones stored). Each library step
// runs in a child process (StepRunner); raw costs and svn run from here.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "benchconfig.h"
#include "measure.h"
#include "resulttable.h"

namespace ZUBDB {
class SqliteDb;
}

namespace zub::bench {

class BenchStore;
class RawInserter;
class SvnPeer;

class Suite {
public:
    Suite(BenchConfig config, ResultTable& table);
    ~Suite();
    Suite(const Suite&) = delete;
    Suite& operator=(const Suite&) = delete;

    void Register();
    // Removes the work folder unless asked to keep it.
    void Cleanup();
    const std::filesystem::path& WorkDir() const { return work_; }
    const BenchConfig& Config() const { return config_; }

private:
    // Registers "<key>/<part>". With several iterations the table takes the
    // fastest: on a shared machine that is the least disturbed one.
    void Bench(const std::string& key, const std::string& part, const std::string& label,
               std::function<Measure()> fn, int iterations = 1);
    void World();
    SvnPeer& Svn();

    struct Part {
        std::string name;  // "ours", "raw_*", "dur_*"
        std::string label;
        std::function<Measure(int first, int count)> run;
    };
    // The parts of one row measured in turns, `chunk` items at a time (for
    // `fastest`: rounds of one, the fastest round counting), so that a disk
    // whose speed changes from minute to minute weighs on all parts alike.
    // The first part's benchmark runs them all; the others report.
    void Interleaved(const std::string& key, int total, int chunk, bool fastest,
                     std::function<void()> prepare, std::vector<Part> parts);
    void AddRow(const std::string& key, const std::string& operation, const std::string& growthOf,
                const std::string& repo, int n, const std::string& prefix,
                const std::filesystem::path& ids);
    void CheckInRow(const std::string& key, const std::string& operation,
                    const std::string& growthOf, const std::filesystem::path& ids, int n,
                    const std::string& addKey, std::function<std::string(int)> trunkName);

    void RegisterSmall();
    void RegisterHistory();
    void RegisterScale(int size, const std::string& previous);
    void RegisterLarge();
    void RegisterPairs(std::uint64_t bytes);

    // Pieces used by several rows.
    void MakeSmallSources();
    void MakeLargeSources();
    void SettleLarge() const;
    using CopyList = std::vector<std::pair<std::filesystem::path, std::filesystem::path>>;
    static Measure Fastest(int reps, const std::function<std::size_t()>& query,
                           std::size_t expected);
    Measure CopyEach(const CopyList& pairs) const;
    Measure DurableCopyEach(const CopyList& pairs) const;
    Measure InsertDocs(int repoId, int first, int count);
    Measure InsertVersions(const std::vector<int>& docIds, int first, int count);
    std::string Arg(const std::string& key, const std::string& value) const;
    std::string StoreArg() const;

    BenchConfig config_;
    ResultTable& table_;
    std::filesystem::path work_;
    bool madeWork_ = false;

    std::unique_ptr<BenchStore> store_;
    std::unique_ptr<ZUBDB::SqliteDb> db_;
    std::unique_ptr<RawInserter> rawDocs_;
    std::unique_ptr<RawInserter> rawVersions_;
    std::unique_ptr<SvnPeer> svn_;
    std::map<std::string, int> repos_;
    std::map<std::string, std::map<std::string, Measure>> measured_;
    std::map<std::string, std::string> failed_;
};

}  // namespace zub::bench
