// zub_bench: the document life cycle on the embedded store beside its raw
// costs (SQLite, cp) and beside Subversion. Prints one markdown table on
// standard output; progress goes to standard error.
//
// Own options (before Google Benchmark's): --quick, --no-svn, --keep,
// --work-dir=DIR, --pairs=N. `--step ...` is the child mode used by the run itself.
#include <sqlite3.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "benchconfig.h"
#include "resulttable.h"
#include "stepmain.h"
#include "suite.h"
#include "svnpeer.h"
#include "tablereporter.h"

namespace zub::bench {

namespace {

// Takes our options out of argv so Google Benchmark sees only its own.
BenchConfig ParseOwnOptions(int& argc, char** argv) {
    BenchConfig config;
    bool quick = false;
    bool noSvn = false;
    bool keep = false;
    std::string workDir;
    int pairs = 0;
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quick")
            quick = true;
        else if (a == "--no-svn")
            noSvn = true;
        else if (a == "--keep")
            keep = true;
        else if (a.rfind("--work-dir=", 0) == 0)
            workDir = a.substr(11);
        else if (a.rfind("--pairs=", 0) == 0)
            pairs = std::max(1, std::atoi(a.c_str() + 8));
        else
            argv[out++] = argv[i];
    }
    argc = out;
    if (quick) config = BenchConfig::Quick();
    config.svn = !noSvn;
    config.keep = keep;
    config.workDir = workDir;
    if (pairs > 0) config.pairs = pairs;
    return config;
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("model name", 0) == 0) {
            const auto colon = line.find(':');
            return colon == std::string::npos ? line : line.substr(colon + 2);
        }
    }
    return "unknown";
}

std::string FsType(const std::filesystem::path& p) {
    struct statfs s {};
    if (::statfs(p.c_str(), &s) != 0) return "unknown";
    switch (static_cast<unsigned long>(s.f_type)) {
        case 0xEF53:
            return "ext4";
        case 0x58465342:
            return "xfs";
        case 0x9123683E:
            return "btrfs";
        case 0x01021994:
            return "tmpfs";
        case 0x794C7630:
            return "overlayfs";
        default:
            return "fs type 0x" + [&] {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%lx", static_cast<unsigned long>(s.f_type));
                return std::string(buf);
            }();
    }
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    double one = 0, five = 0, fifteen = 0;
    in >> one >> five >> fifteen;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f %.2f %.2f", one, five, fifteen);
    return buf;
}

std::string Header(const Suite& suite, const std::string& loadBefore) {
    const auto now = std::time(nullptr);
    char date[64];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
    utsname u{};
    ::uname(&u);
    const BenchConfig& c = suite.Config();
    std::string text = "# zubvault benchmarks\n\n";
    text += "- date: " + std::string(date) + "\n";
    text += "- machine: " + std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " +
            CpuModel() + ", " +
            std::to_string(::sysconf(_SC_PHYS_PAGES) / 1024 * ::sysconf(_SC_PAGE_SIZE) /
                           (1024 * 1024)) +
            " GiB memory, Linux " + u.release + "\n";
    text +=
        "- disk: " + FsType(suite.WorkDir()) + " (work folder " + suite.WorkDir().string() + ")\n";
    text += "- SQLite " + std::string(sqlite3_libversion()) + " (WAL, synchronous FULL), " +
            (c.svn ? "svn " + SvnPeer::Version() : std::string("svn not run")) + "\n";
    text += std::string("- run: ") + (c.quick ? "QUICK (reduced sizes)" : "full") +
            "; load average before " + loadBefore + ", after " + LoadAverage() +
            " (the machine is shared)\n\n";
    return text;
}

const char* const kNotes = R"(
How to read it: "ours" is the library call alone, timed inside a child process
that does nothing else (its peak resident memory is the peak memory column);
"raw" is the sum of the parts named in the last column, run from the parent;
ratio = ours / raw (above 2 in bold). "raw + flushes" is the same raw work
made as durable as the file server makes its files (fsync of each file and its
folder; for cp -r one syncfs). cp runs as one process per file, as a script
would. svn is Subversion's command line on a file:// repository, one commit
per document. Growth is the time per item divided by that of the row ten times
smaller (for the check-in with many versions: of the check-in of fresh
documents): 1.00 is linear, above 1 grows faster than the data. The same ratio
of processor time (cpu) leaves out waiting for the disk, whose flush latency
on this shared virtual disk swings between about 0.1 and 15 ms from minute to
minute: where wall and cpu growth disagree, the disk moved, not the library.
)";

}  // namespace

int Main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--step") == 0) return StepMain::Run(argc, argv);

    BenchConfig config = ParseOwnOptions(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

    ResultTable table;
    int rc = 0;
    try {
        Suite suite(config, table);
        suite.Register();
        TableReporter reporter(table);
        const std::string loadBefore = LoadAverage();
        const auto start = std::chrono::steady_clock::now();
        benchmark::RunSpecifiedBenchmarks(&reporter);
        const double total =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::cout << Header(suite, loadBefore) << table.Markdown() << kNotes
                  << "\nWhole run: " << ResultTable::FormatSeconds(total) << ".\n";
        suite.Cleanup();
        rc = table.HasErrors() ? 1 : 0;
    } catch (const std::exception& e) {
        std::cerr << "zub_bench: " << e.what() << "\n";
        rc = 1;
    }
    benchmark::Shutdown();
    return rc;
}

}  // namespace zub::bench

int main(int argc, char** argv) { return zub::bench::Main(argc, argv); }
