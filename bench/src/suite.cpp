#include "suite.h"

#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>
#include <stdexcept>

#include "benchstore.h"
#include "diskflush.h"
#include "filemaker.h"
#include "kernelcounters.h"
#include "process.h"
#include "rawinserter.h"
#include "rawquery.h"
#include "sqlitedb.h"
#include "sqlitestatement.h"
#include "standalone.h"
#include "steprunner.h"
#include "svnpeer.h"
#include "zub/oledate.h"

namespace zub::bench {

namespace fs = std::filesystem;

namespace {

// Bytes of disk a tree's entries take (allocated blocks), leaving out files
// whose inode is in `skip` and adding those it counts to `seen`.
long long DiskBytes(const fs::path& dir, const std::set<std::pair<dev_t, ino_t>>& skip,
                    std::set<std::pair<dev_t, ino_t>>* seen) {
    long long total = 0;
    auto add = [&](const fs::path& p) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) return;
        const auto node = std::make_pair(st.st_dev, st.st_ino);
        if (S_ISREG(st.st_mode) && skip.count(node)) return;
        if (seen != nullptr) seen->insert(node);
        total += static_cast<long long>(st.st_blocks) * 512;
    };
    add(dir);
    for (const auto& e : fs::recursive_directory_iterator(dir)) add(e.path());
    return total;
}

// What a baseline added to the disk beside the trunk it froze, as a text.
std::string ExtraDisk(const fs::path& trunk, const fs::path& baseline) {
    std::set<std::pair<dev_t, ino_t>> trunkNodes;
    const long long trunkBytes = DiskBytes(trunk, {}, &trunkNodes);
    const long long extra = DiskBytes(baseline, trunkNodes, nullptr);
    std::ostringstream text;
    text << std::fixed << std::setprecision(2)
         << "disk the baseline added: " << ResultTable::FormatBytes(extra) << " = "
         << (trunkBytes > 0 ? 100.0 * static_cast<double>(extra) / static_cast<double>(trunkBytes)
                            : 0.0)
         << " % of the trunk's " << ResultTable::FormatBytes(trunkBytes)
         << " (allocated blocks; shared files counted once); the baseline itself";
    return text.str();
}

}  // namespace

namespace {

using Clock = std::chrono::steady_clock;

std::string Count(long long n) {
    std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string Size(std::uint64_t bytes) {
    if (bytes >= (std::uint64_t{1} << 30) && bytes % (std::uint64_t{1} << 30) == 0)
        return std::to_string(bytes >> 30) + " GiB";
    if (bytes >= (std::uint64_t{1} << 20) && bytes % (std::uint64_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " B";
}

std::string SmallName(const char* prefix, int i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%06d.bin", prefix, i);
    return name;
}

std::vector<int> ReadIds(const fs::path& file) {
    std::ifstream in(file);
    std::vector<int> ids;
    for (int id; in >> id;) ids.push_back(id);
    if (ids.empty())
        throw std::runtime_error("no ids in " + file.string() + " (an earlier step failed?)");
    return ids;
}

// Writeback of an earlier step must not land in the next one's time.
void Settle() { ::sync(); }

fs::path NewWorkDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/var/tmp") + "/zub-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a work folder from " + pattern);
    return pattern;
}

}  // namespace

Suite::Suite(BenchConfig config, ResultTable& table) : config_(std::move(config)), table_(table) {
    if (config_.workDir.empty()) {
        work_ = NewWorkDir();
    } else {
        work_ = fs::absolute(config_.workDir);
        if (fs::exists(work_) && !fs::is_empty(work_))
            throw std::runtime_error("work folder " + work_.string() + " is not empty");
        fs::create_directories(work_);
    }
    madeWork_ = true;
}

Suite::~Suite() = default;

void Suite::Cleanup() {
    svn_.reset();
    rawVersions_.reset();
    rawDocs_.reset();
    db_.reset();
    if (madeWork_ && !config_.keep) {
        std::error_code ec;
        fs::remove_all(work_, ec);
    }
}

void Suite::World() {
    if (store_) return;
    BenchStore::Create(work_ / "store");
    store_ = std::make_unique<BenchStore>(work_ / "store");
    // The store's own connection settings, but SQLite's default page cache:
    // the raw baselines have always been measured with it.
    db_ = std::make_unique<ZUBDB::SqliteDb>(
        ZUBDB::SqliteDb::Open(store_->ProductDbFile().string(), false));
    db_->exec("PRAGMA cache_size=-2000");
    rawDocs_ = std::make_unique<RawInserter>(
        *db_, "QV_DMDoc", "bench_raw_QV_DMDoc",
        std::vector<std::string>{"DocRepoId", "Name", "Ext", "phyUrl", "CurrentVersion",
                                 "CurrentState", "CreatorId", "CreatorName", "DocCreateTime",
                                 "LastOperatorId", "LastOperatorName", "LastOperateTime",
                                 "CurrentOperatorId", "CaxDocType"});
    rawVersions_ = std::make_unique<RawInserter>(
        *db_, "QV_DMDocVer", "bench_raw_QV_DMDocVer",
        std::vector<std::string>{"DocId", "DocName", "OperatorId", "OperatorName", "OperatorTime",
                                 "Action", "OperateInfo", "PhyUrl", "Version_Main", "Version_Sub",
                                 "Revision"});
}

SvnPeer& Suite::Svn() {
    if (!svn_) svn_ = std::make_unique<SvnPeer>(work_ / "svn");
    return *svn_;
}

std::string Suite::Arg(const std::string& key, const std::string& value) const {
    return key + "=" + value;
}

std::string Suite::StoreArg() const { return Arg("store", (work_ / "store").string()); }

void Suite::Bench(const std::string& key, const std::string& part, const std::string& label,
                  std::function<Measure()> fn, int iterations) {
    table_.DefinePart(key, part, label);
    const std::string name = key + "/" + part;
    benchmark::RegisterBenchmark(name.c_str(),
                                 [fn](benchmark::State& state) {
                                     long long peak = 0;
                                     double fastest = 0;
                                     double fastestCpu = 0;
                                     for (auto _ : state) {
                                         try {
                                             const Measure m = fn();
                                             state.SetIterationTime(m.seconds);
                                             peak = std::max(peak, m.peakRssBytes);
                                             if (fastest == 0 || m.seconds < fastest) {
                                                 fastest = m.seconds;
                                                 fastestCpu = m.cpuSeconds;
                                             }
                                         } catch (const std::exception& e) {
                                             state.SkipWithError(e.what());
                                             break;
                                         }
                                     }
                                     if (peak > 0)
                                         state.counters["peak_rss"] =
                                             benchmark::Counter(static_cast<double>(peak));
                                     if (fastest > 0)
                                         state.counters["min_s"] = benchmark::Counter(fastest);
                                     if (fastestCpu > 0)
                                         state.counters["cpu_s"] = benchmark::Counter(fastestCpu);
                                 })
        ->Iterations(iterations)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

// Also drops our large files from the page cache, so each 1 GiB step starts
// from the same state instead of from whatever memory pressure the last left.
void Suite::SettleLarge() const {
    ::sync();
    DiskFlush::Evict(work_, std::uintmax_t{64} << 20);
}

void Suite::MakeLargeSources() {
    const fs::path src = work_ / "large_src";
    if (fs::exists(src)) return;
    fs::create_directories(src);
    const std::uint64_t bytes = config_.largeBytes;
    FileMaker::Write(src / SmallName("f", 0), bytes, 77);
    // The new version differs from the old in one chunk in the middle.
    const std::uint64_t chunks = (bytes + FileMaker::kChunk - 1) / FileMaker::kChunk;
    FileMaker::Write(work_ / "large_v2.bin", bytes, 77, chunks / 2, 1);
}

void Suite::MakeSmallSources() {
    const fs::path dir = work_ / "small_src";
    if (fs::exists(dir)) return;
    fs::create_directories(dir);
    const int n = std::max(config_.smallCount, config_.scaleOps);
    for (int i = 0; i < n; ++i)
        FileMaker::Write(dir / SmallName("f", i), config_.smallBytes, 1 + i);
    FileMaker::Write(work_ / "small_v2.bin", config_.smallBytes, 999'999'937);
}

// One untimed warm-up, then the fastest of `reps` runs of `query`, which
// returns its row count (at least `expected` rows, else the query is wrong).
Measure Suite::Fastest(int reps, const std::function<std::size_t()>& query, std::size_t expected) {
    query();
    double fastest = 0;
    for (int r = 0; r < reps; ++r) {
        const auto t = Clock::now();
        const std::size_t rows = query();
        const double s = std::chrono::duration<double>(Clock::now() - t).count();
        if (rows < expected)
            throw std::runtime_error("the raw query found " + std::to_string(rows) + " rows");
        if (fastest == 0 || s < fastest) fastest = s;
    }
    return {fastest, 0};
}

Measure Suite::CopyEach(const CopyList& pairs) const {
    Measure total;
    for (const auto& [from, to] : pairs) {
        const ProcessResult r = Process::RunChecked({"cp", from.string(), to.string()});
        total.Add({r.seconds, r.peakRssBytes});
    }
    return total;
}

// cp, then the file's data and its folder's entry made durable, as the file
// server does before a row may point at the file.
Measure Suite::DurableCopyEach(const CopyList& pairs) const {
    Measure total;
    for (const auto& [from, to] : pairs) {
        const auto t = Clock::now();
        const ProcessResult r = Process::RunChecked({"cp", from.string(), to.string()});
        DiskFlush::File(to);
        DiskFlush::Folder(to.parent_path());
        total.Add({std::chrono::duration<double>(Clock::now() - t).count(), r.peakRssBytes});
    }
    return total;
}

// The row Doc::Add writes, inserted the way a hand-written program would.
Measure Suite::InsertDocs(int repoId, int first, int count) {
    const double now = zub::OleDateNow();
    const double s = rawDocs_->InsertEach(count, [&](ZUBDB::SqliteStatement& st, int i) {
        st.bind(1, static_cast<long long>(repoId));
        st.bind(2, SmallName("raw", first + i));
        st.bind(3, std::string_view("bin"));
        st.bind(4, std::string_view("\\new"));
        st.bind(5, std::string_view("1.0"));
        st.bind(6, 0LL);
        st.bind(7, static_cast<long long>(BenchStore::kSystemUser));
        st.bind(8, std::string_view("system"));
        st.bind(9, now);
        st.bind(10, static_cast<long long>(BenchStore::kSystemUser));
        st.bind(11, std::string_view("system"));
        st.bind(12, now);
        st.bind(13, 0LL);
        st.bind(14, 0LL);
    });
    return {s, 0};
}

// The history row a check-in writes.
Measure Suite::InsertVersions(const std::vector<int>& docIds, int first, int count) {
    const double now = zub::OleDateNow();
    const double s = rawVersions_->InsertEach(count, [&](ZUBDB::SqliteStatement& st, int j) {
        const int i = first + j;
        const int doc = docIds.at(static_cast<std::size_t>(i));
        st.bind(1, static_cast<long long>(doc));
        st.bind(2, std::to_string(doc) + "_1.0.bin");
        st.bind(3, static_cast<long long>(BenchStore::kSystemUser));
        st.bind(4, std::string_view("system"));
        st.bind(5, now);
        st.bind(6, 1LL);
        st.bind(7, std::string_view("benchmark check-in"));
        st.bind(8, std::string_view("\\history\\"));
        st.bind(9, 1LL);
        st.bind(10, static_cast<long long>(i));
        st.bind(11, static_cast<long long>(i + 1));
    });
    return {s, 0};
}

void Suite::Register() {
    RegisterSmall();
    RegisterHistory();
    std::string previous;
    for (int size : config_.scaleSizes) {
        RegisterScale(size, previous);
        previous = std::to_string(size);
    }
    RegisterLarge();
    for (std::uint64_t bytes : {config_.largeBytes / 2, config_.largeBytes}) RegisterPairs(bytes);
}

void Suite::Interleaved(const std::string& key, int total, int chunk, bool fastest,
                        std::function<void()> prepare, std::vector<Part> parts) {
    auto shared = std::make_shared<std::vector<Part>>(std::move(parts));
    for (const Part& part : *shared) {
        Bench(key, part.name, part.label, [=, this, name = part.name] {
            if (!measured_.count(key)) {
                auto& results = measured_[key];
                try {
                    prepare();
                    const int rounds = (total + chunk - 1) / chunk;
                    for (int c = 0; c < rounds; ++c) {
                        const int first = c * chunk;
                        const int count = std::min(chunk, total - first);
                        // Rotate who goes first so no part always follows another.
                        for (std::size_t k = 0; k < shared->size(); ++k) {
                            const Part& p =
                                (*shared)[(k + static_cast<std::size_t>(c)) % shared->size()];
                            if (fastest)
                                SettleLarge();
                            else
                                Settle();
                            const Measure m = p.run(first, count);
                            auto [it, fresh] = results.emplace(p.name, m);
                            if (fresh) continue;
                            if (fastest) {
                                if (m.seconds < it->second.seconds) it->second = m;
                            } else {
                                it->second.Add(m);
                            }
                        }
                    }
                } catch (const std::exception& e) {
                    failed_[key] = e.what();
                }
            }
            if (failed_.count(key)) throw std::runtime_error(failed_.at(key));
            return measured_.at(key).at(name);
        });
    }
}

void Suite::AddRow(const std::string& key, const std::string& operation,
                   const std::string& growthOf, const std::string& repo, int n,
                   const std::string& prefix, const fs::path& ids) {
    table_.DefineRow({key, operation, Size(config_.smallBytes) + " × " + Count(n),
                      static_cast<double>(n), 0, growthOf});
    const fs::path rawTrunk = work_ / ("raw_" + key) / "trunk";
    const fs::path durTrunk = work_ / ("dur_" + key) / "trunk";
    const auto copies = [this, prefix](const fs::path& trunk, int first, int count) {
        CopyList pairs;
        for (int i = first; i < first + count; ++i)
            pairs.emplace_back(work_ / "small_src" / SmallName("f", i),
                               trunk / SmallName(prefix.c_str(), i));
        return pairs;
    };
    Interleaved(
        key, n, config_.chunk, false,
        [=, this] {
            World();
            MakeSmallSources();
            if (!repos_.count(repo)) repos_[repo] = store_->CreateRepository(repo);
            fs::remove(ids);
            fs::create_directories(rawTrunk);
            fs::create_directories(durTrunk);
            rawDocs_->MirrorRows();
        },
        {{"ours", "",
          [=, this](int first, int count) {
              return StepRunner::Run(
                  "add", {StoreArg(), Arg("repo", std::to_string(repos_.at(repo))),
                          Arg("src", (work_ / "small_src").string()),
                          Arg("first", std::to_string(first)), Arg("count", std::to_string(count)),
                          Arg("prefix", prefix), Arg("phyurl", "\\new"), Arg("ids", ids.string())});
          }},
         {"raw_sqlite", Count(n) + " SQLite inserts, one transaction each",
          [=, this](int first, int count) { return InsertDocs(repos_.at(repo), first, count); }},
         {"raw_cp", Count(n) + " × cp",
          [=, this](int first, int count) { return CopyEach(copies(rawTrunk, first, count)); }},
         {"dur_cp", "each cp then fsync of file and folder", [=, this](int first, int count) {
              return DurableCopyEach(copies(durTrunk, first, count));
          }}});
}

void Suite::CheckInRow(const std::string& key, const std::string& operation,
                       const std::string& growthOf, const fs::path& ids, int n,
                       const std::string& addKey, std::function<std::string(int)> trunkName) {
    table_.DefineRow({key, operation, Size(config_.smallBytes) + " × " + Count(n),
                      static_cast<double>(n), 0, growthOf});
    const fs::path raw = work_ / ("raw_" + addKey);
    const fs::path dur = work_ / ("dur_" + addKey);
    const fs::path v2 = work_ / "small_v2.bin";
    const auto copies = [=](const fs::path& dir, int first, int count) {
        CopyList pairs;
        for (int i = first; i < first + count; ++i) {
            pairs.emplace_back(dir / "trunk" / trunkName(i), dir / "history" / SmallName("h", i));
            pairs.emplace_back(v2, dir / "trunk" / trunkName(i));
        }
        return pairs;
    };
    const fs::path chunkIds = work_ / ("chunk_" + key + ".txt");
    Interleaved(
        key, n, config_.chunk, false,
        [=, this] {
            fs::create_directories(raw / "history");
            fs::create_directories(dur / "history");
            rawVersions_->MirrorRows();
        },
        {{"ours", "",
          [=, this](int first, int count) {
              const std::vector<int> all = ReadIds(ids);
              std::ofstream out(chunkIds, std::ios::trunc);
              for (int i = first; i < first + count; ++i)
                  out << all.at(static_cast<std::size_t>(i) % all.size()) << "\n";
              out.close();
              return StepRunner::Run(
                  "checkin", {StoreArg(), Arg("ids", chunkIds.string()), Arg("src", v2.string())});
          }},
         {"raw_sqlite", Count(n) + " SQLite inserts, one transaction each",
          [=, this](int first, int count) {
              std::vector<int> all = ReadIds(ids);
              std::vector<int> seq;
              for (int i = 0; i < n; ++i)
                  seq.push_back(all.at(static_cast<std::size_t>(i) % all.size()));
              return InsertVersions(seq, first, count);
          }},
         {"raw_cp", Count(2 * n) + " × cp (old version to history, new file in)",
          [=, this](int first, int count) { return CopyEach(copies(raw, first, count)); }},
         {"dur_cp", "each cp then fsync of file and folder",
          [=, this](int first, int count) { return DurableCopyEach(copies(dur, first, count)); }}});
}

void Suite::RegisterSmall() {
    const int n = config_.smallCount;
    const fs::path ids = work_ / "small_ids.txt";
    AddRow("add_small", "add (Doc::Add)", "", "small", n, "s", ids);
    if (config_.svn) {
        Bench("add_small", "svn", "svn add + svn commit per file", [this, n] {
            std::vector<std::string> names;
            for (int i = 0; i < n; ++i) {
                names.push_back(SmallName("s", i));
                fs::copy_file(work_ / "small_src" / SmallName("f", i),
                              Svn().WorkingCopy() / names.back());
            }
            Settle();
            return Svn().AddAndCommitEach(names);
        });
    }
    CheckInRow("checkin_small", "check-in (Doc::CheckIn)", "", ids, n, "add_small",
               [](int i) { return SmallName("s", i); });
    if (config_.svn) {
        Bench("checkin_small", "svn", "svn commit per file", [this, n] {
            std::vector<std::string> names;
            for (int i = 0; i < n; ++i) {
                names.push_back(SmallName("s", i));
                fs::copy_file(work_ / "small_v2.bin", Svn().WorkingCopy() / names.back(),
                              fs::copy_options::overwrite_existing);
            }
            Settle();
            return Svn().CommitEach(names);
        });
    }
}

void Suite::RegisterHistory() {
    const int versions = config_.historyVersions;
    const int n = config_.historyCheckins;
    const int reps = config_.listReps;
    const fs::path ids = work_ / "hist_ids.txt";

    table_.DefineRow({"history", "history (DocHistorys::GetAll)",
                      Count(versions) + " check-ins of one document", 0, 0, ""});
    Bench("history", "ours", "", [this, versions, reps, ids] {
        World();
        MakeSmallSources();
        StepRunner::Run("add",
                        {StoreArg(), Arg("repo", std::to_string(repos_.at("small"))),
                         Arg("src", (work_ / "small_src").string()), Arg("count", "1"),
                         Arg("prefix", "hist"), Arg("phyurl", "\\new"), Arg("ids", ids.string())});
        store_->SeedHistory(*db_, ReadIds(ids).front(), versions);
        // Its trunk file for the raw copies of the check-in row below.
        for (const char* dir : {"raw_hist", "dur_hist"}) {
            fs::create_directories(work_ / dir / "trunk");
            fs::copy_file(work_ / "small_src" / SmallName("f", 0),
                          work_ / dir / "trunk" / "hist.bin", fs::copy_options::overwrite_existing);
        }
        db_->exec("PRAGMA wal_checkpoint(TRUNCATE)");
        Settle();
        return StepRunner::Run("history",
                               {StoreArg(), Arg("doc", std::to_string(ReadIds(ids).front())),
                                Arg("reps", std::to_string(reps))});
    });
    Bench("history", "raw_query", "the same query through the SQLite C API", [this, reps, ids] {
        const int doc = ReadIds(ids).front();
        RawQuery q(*db_);
        return Fastest(
            reps, [&] { return q.History(doc).size(); }, 1);
    });

    CheckInRow("checkin_versions", "check-in of a document with " + Count(versions) + " versions",
               "checkin_small", ids, n, "hist", [](int) { return std::string("hist.bin"); });
}

void Suite::RegisterScale(int size, const std::string& previous) {
    const std::string s = std::to_string(size);
    // Equal-length names: no root directory may contain another one.
    char repoName[16];
    std::snprintf(repoName, sizeof repoName, "r%07d", size);
    const std::string repo = repoName;
    const int reps = size >= 100000 ? std::max(1, config_.listReps / 2) : config_.listReps;
    const int k = config_.scaleOps;

    table_.DefineRow({"list_" + s, "listing (Docs::GetAll)", Count(size) + " documents",
                      static_cast<double>(size), 0, previous.empty() ? "" : "list_" + previous});
    Bench("list_" + s, "ours", "", [this, size, repo, reps] {
        World();
        MakeSmallSources();
        if (!repos_.count(repo)) {
            repos_[repo] = store_->CreateRepository(repo);
            store_->Seed(*db_, repos_[repo], repo, size, config_.smallBytes, "d");
            // Fold the seeding into the database file now, not in the next
            // timed commit.
            db_->exec("PRAGMA wal_checkpoint(TRUNCATE)");
        }
        Settle();
        return StepRunner::Run("list", {StoreArg(), Arg("repo", std::to_string(repos_.at(repo))),
                                        Arg("reps", std::to_string(reps))});
    });
    Bench("list_" + s, "raw_query", "the same query through the SQLite C API",
          [this, repo, reps, size] {
              RawQuery q(*db_);
              const int id = repos_.at(repo);
              return Fastest(
                  reps, [&] { return q.Documents(id).size(); }, static_cast<std::size_t>(size));
          });

    if (size == config_.baselineSize) {
        table_.DefineRow({"baseline", "baseline (BaseLine::Create)",
                          "trunk of " + Count(size) + " × " + Size(config_.smallBytes),
                          static_cast<double>(size), 0, ""});
        auto made = std::make_shared<Measure>();
        Bench("baseline", "ours", "", [this, repo, made] {
            Settle();
            *made = StepRunner::Run(
                "baseline",
                {StoreArg(), Arg("repo", std::to_string(repos_.at(repo))), Arg("name", "rel1")});
            const fs::path trunk = store_->TrunkDir(repo);
            table_.SetLabel("baseline", "ref_disk",
                            ExtraDisk(trunk, trunk.parent_path() / "baseline" / "rel1"));
            return *made;
        });
        Bench("baseline", "ref_disk", "disk the baseline added", [made] { return *made; });
        Bench("baseline", "raw_cpr", "cp -r of the trunk", [this, repo] {
            Settle();
            const ProcessResult r =
                Process::RunChecked({"cp", "-r", store_->TrunkDir(repo).string(),
                                     (work_ / ("raw_baseline_" + repo)).string()});
            return Measure{r.seconds, r.peakRssBytes};
        });
        Bench("baseline", "dur_cpr", "cp -r then one syncfs", [this, repo] {
            Settle();
            const fs::path target = work_ / ("dur_baseline_" + repo);
            const auto t = Clock::now();
            const ProcessResult r =
                Process::RunChecked({"cp", "-r", store_->TrunkDir(repo).string(), target.string()});
            DiskFlush::FileSystem(target);
            return Measure{std::chrono::duration<double>(Clock::now() - t).count(), r.peakRssBytes};
        });
    }

    const fs::path ids = work_ / ("scale_" + s + "_ids.txt");
    AddRow("add_" + s, "add into a repository of " + Count(size),
           previous.empty() ? "" : "add_" + previous, repo, k, "a", ids);
    CheckInRow("checkin_" + s, "check-in in a repository of " + Count(size),
               previous.empty() ? "" : "checkin_" + previous, ids, k, "add_" + s,
               [](int i) { return SmallName("a", i); });
}

void Suite::RegisterLarge() {
    const std::uint64_t bytes = config_.largeBytes;
    const std::string size = Size(bytes);
    const int rounds = config_.largeIterations;
    const fs::path src = work_ / "large_src" / SmallName("f", 0);
    const fs::path v2 = work_ / "large_v2.bin";
    const fs::path ids = work_ / "large_ids.txt";
    const fs::path raw = work_ / "raw_large";
    const fs::path dur = work_ / "dur_large";
    const fs::path out = work_ / "large_out";

    table_.DefineRow({"add_large", "add (Doc::Add)", size, 0, static_cast<double>(bytes), ""});
    Interleaved("add_large", rounds, 1, true,
                [=, this] {
                    World();
                    if (!repos_.count("large")) repos_["large"] = store_->CreateRepository("large");
                    MakeLargeSources();
                    for (const fs::path& d : {raw, dur}) {
                        fs::create_directories(d / "trunk");
                        fs::create_directories(d / "history");
                    }
                    fs::create_directories(out);
                    fs::remove(ids);
                },
                {{"ours", "",
                  [=, this](int round, int) {
                      // Each round adds a new document; the last one is checked in below.
                      return StepRunner::Run(
                          "add", {StoreArg(), Arg("repo", std::to_string(repos_.at("large"))),
                                  Arg("src", src.parent_path().string()), Arg("count", "1"),
                                  Arg("prefix", "big" + std::to_string(round) + "_"),
                                  Arg("phyurl", ""), Arg("ids", ids.string())});
                  }},
                 {"raw_cp", "cp",
                  [=, this](int, int) {
                      return CopyEach({{src, raw / "trunk" / "big.bin"}});
                  }},
                 {"dur_cp", "cp then fsync of file and folder", [=, this](int, int) {
                      return DurableCopyEach({{src, dur / "trunk" / "big.bin"}});
                  }}});
    if (config_.svn) {
        Bench("add_large", "svn", "svn add + svn commit", [=, this] {
            Process::RunChecked({"cp", src.string(), (Svn().WorkingCopy() / "big.bin").string()});
            SettleLarge();
            return Svn().AddAndCommitEach({"big.bin"});
        });
    }

    table_.DefineRow(
        {"checkin_large", "check-in (Doc::CheckIn)", size, 0, static_cast<double>(bytes), ""});
    const fs::path lastId = work_ / "large_last_id.txt";
    Interleaved(
        "checkin_large", rounds, 1, true,
        [=, this] { std::ofstream(lastId) << ReadIds(ids).back() << "\n"; },
        {{"ours", "",
          [=, this](int, int) {
              return StepRunner::Run(
                  "checkin", {StoreArg(), Arg("ids", lastId.string()), Arg("src", v2.string())});
          }},
         {"raw_cp", "2 × cp (old version to history, new file in)",
          [=, this](int round, int) {
              return CopyEach({{raw / "trunk" / "big.bin",
                                raw / "history" / ("big_" + std::to_string(round) + ".bin")},
                               {v2, raw / "trunk" / "big.bin"}});
          }},
         {"dur_cp", "each cp then fsync of file and folder", [=, this](int round, int) {
              return DurableCopyEach({{dur / "trunk" / "big.bin",
                                       dur / "history" / ("big_" + std::to_string(round) + ".bin")},
                                      {v2, dur / "trunk" / "big.bin"}});
          }}});
    if (config_.svn) {
        Bench("checkin_large", "svn", "svn commit", [=, this] {
            Process::RunChecked({"cp", v2.string(), (Svn().WorkingCopy() / "big.bin").string()});
            SettleLarge();
            return Svn().CommitEach({"big.bin"});
        });
    }

    table_.DefineRow(
        {"checkout_large", "check-out (Doc::CheckOut)", size, 0, static_cast<double>(bytes), ""});
    Interleaved("checkout_large", rounds, 1, true, [] {},
                {{"ours", "",
                  [=, this](int, int) {
                      return StepRunner::Run("checkout", {StoreArg(), Arg("ids", lastId.string()),
                                                          Arg("dest", out.string())});
                  }},
                 {"raw_cp", "cp",
                  [=, this](int, int) {
                      return CopyEach({{raw / "trunk" / "big.bin", out / "raw.bin"}});
                  }},
                 {"dur_cp", "cp then fsync of file and folder", [=, this](int, int) {
                      return DurableCopyEach({{dur / "trunk" / "big.bin", out / "dur.bin"}});
                  }}});

    // A baseline of one large file beside a copy of it: the baseline shares
    // the stored file where the file system lets it.
    table_.DefineRow({"baseline_large", "baseline (BaseLine::Create)",
                      "trunk of one " + size + " file", 1, static_cast<double>(bytes), ""});
    const fs::path blIds = work_ / "lbase_ids.txt";
    auto madeLarge = std::make_shared<Measure>();
    Bench("baseline_large", "ours", "", [=, this] {
        World();
        MakeLargeSources();
        if (!repos_.count("lbase")) {
            repos_["lbase"] = store_->CreateRepository("lbase");
            StepRunner::Run("add",
                            {StoreArg(), Arg("repo", std::to_string(repos_.at("lbase"))),
                             Arg("src", src.parent_path().string()), Arg("count", "1"),
                             Arg("prefix", "bl_"), Arg("phyurl", ""), Arg("ids", blIds.string())});
        }
        SettleLarge();
        *madeLarge = StepRunner::Run(
            "baseline",
            {StoreArg(), Arg("repo", std::to_string(repos_.at("lbase"))), Arg("name", "rel1")});
        const fs::path trunk = store_->TrunkDir("lbase");
        table_.SetLabel("baseline_large", "ref_disk",
                        ExtraDisk(trunk, trunk.parent_path() / "baseline" / "rel1"));
        return *madeLarge;
    });
    Bench("baseline_large", "raw_cp", "cp of the file", [=, this] {
        SettleLarge();
        return CopyEach({{src, work_ / "raw_baseline_large.bin"}});
    });
    Bench("baseline_large", "dur_cp", "cp then fsync of file and folder", [=, this] {
        SettleLarge();
        return DurableCopyEach({{src, work_ / "dur_baseline_large.bin"}});
    });
    Bench("baseline_large", "ref_disk", "disk the baseline added",
          [madeLarge] { return *madeLarge; });
}

// The check-in and cp + fsync of the same file, in alternation: a slow mode
// of either shows in the pairs' ratios instead of hiding behind a best-of.
// As a user would: the new content read into the page cache, each step
// starting from a synced disk.
void Suite::RegisterPairs(std::uint64_t bytes) {
    const std::string size = Size(bytes);
    const std::string key = "checkin_pairs_" + std::to_string(bytes >> 20);
    const int pairs = config_.pairs;
    const fs::path src = work_ / ("pair_" + std::to_string(bytes >> 20) + ".bin");
    const fs::path dur = work_ / "dur_pairs";
    const fs::path idFile = work_ / "large_last_id.txt";
    table_.DefineRow(
        {key,
         "check-in beside cp + fsync, alternating (" + std::to_string(pairs) + " pairs, medians)",
         size, 0, static_cast<double>(bytes), ""});
    auto shared = std::make_shared<std::map<std::string, Measure>>();
    auto run = [=, this]() {
        if (!shared->empty()) return;
        World();
        if (!fs::exists(src)) FileMaker::Write(src, bytes, 91, bytes / FileMaker::kChunk / 2, 1);
        fs::create_directories(dur);
        if (!fs::exists(idFile)) throw std::runtime_error("the 1 GiB rows did not run");
        const fs::path history = store_->HistoryDir("large");
        std::vector<double> ours, copies, ratios, controls, oursCpu;
        // What the machine did meanwhile, per side: a slow mode that is the
        // kernel's (reclaim, compaction, steal) shows here.
        KernelCounters kernelOurs, kernelCopies;
        const auto during = [](KernelCounters& into, const auto& side) {
            const KernelCounters before = KernelCounters::Now();
            const double seconds = side();
            into += KernelCounters::Now() - before;
            return seconds;
        };
        // A second cp + fsync in every pair: its ratio to the first is the
        // disk's own spread, the floor under any pair ratio.
        auto check = [&] {
            for (const auto& e : fs::directory_iterator(history)) fs::remove_all(e.path());
            Process::RunChecked({"cat", src.string()});  // into the page cache
            ::sync();
            const Measure m = StepRunner::Run(
                "checkin", {StoreArg(), Arg("ids", idFile.string()), Arg("src", src.string())});
            oursCpu.push_back(m.cpuSeconds);
            return m.seconds;
        };
        auto copy = [&](const char* name) {
            // Each side starts after the removal of its own previous file: a
            // removal makes the disk discard the freed space, which slows
            // whatever writes next, so every side gets one.
            fs::remove(dur / name);
            Process::RunChecked({"cat", src.string()});
            ::sync();
            return DurableCopyEach({{src, dur / name}}).seconds;
        };
        for (int i = 0; i < pairs; ++i) {
            // Who goes first rotates, so no side always follows another.
            double a = 0, b = 0, c = 0;
            for (int k = 0; k < 3; ++k) {
                switch ((i + k) % 3) {
                    case 0:
                        a = during(kernelOurs, check);
                        break;
                    case 1:
                        b = during(kernelCopies, [&] { return copy("pair.bin"); });
                        break;
                    default:
                        c = copy("pair2.bin");
                        break;
                }
            }
            ours.push_back(a);
            copies.push_back(b);
            ratios.push_back(a / b);
            controls.push_back(c / b);
        }
        const auto worst = std::max_element(ratios.begin(), ratios.end()) - ratios.begin();
        (*shared)["ours"] = {Median(ours), 0, 0};
        (*shared)["dur_cp"] = {Median(copies), 0, 0};
        (*shared)["ref_worst"] = {ours.at(static_cast<std::size_t>(worst)), 0, 0};
        std::ostringstream text;
        text << std::fixed << std::setprecision(2) << "pair ratios: median " << Median(ratios)
             << ", worst " << ratios.at(static_cast<std::size_t>(worst)) << " (each:";
        for (double r : ratios) text << " " << r;
        text << "); cp + fsync beside itself in the same pairs: median " << Median(controls)
             << ", worst " << *std::max_element(controls.begin(), controls.end()) << " (each:";
        for (double r : controls) text << " " << r;
        text << "); check-in processor time: median " << Median(oursCpu)
             << " s; the kernel during the check-ins: " << kernelOurs.Text()
             << "; during the first copies: " << kernelCopies.Text()
             << "; the worst pair's check-in";
        table_.SetLabel(key, "ref_worst", text.str());
    };
    Bench(key, "ours", "", [=] {
        run();
        return shared->at("ours");
    });
    Bench(key, "dur_cp", "cp then fsync of file and folder", [=] {
        run();
        return shared->at("dur_cp");
    });
    Bench(key, "ref_worst", "the worst pair's check-in", [=] {
        run();
        return shared->at("ref_worst");
    });
}

}  // namespace zub::bench
