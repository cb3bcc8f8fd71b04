// Runs an outside program (cp, svn, this benchmark in step mode) and reports
// its wall time and peak resident memory, taken from wait4's rusage so each
// figure belongs to that one child.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zub::bench {

struct ProcessResult {
    int exitCode = -1;           // 128 + signal when killed
    double seconds = 0.0;        // spawn to reap
    long long peakRssBytes = 0;  // ru_maxrss of the child; 0 when it cannot be told apart
    std::string out;             // standard output
    std::string err;             // standard error
};

class Process {
public:
    // argv[0] is looked up in PATH. An empty cwd keeps ours.
    static ProcessResult Run(const std::vector<std::string>& argv,
                             const std::filesystem::path& cwd = {});
    // As Run, but a non-zero exit throws with the command and its error output.
    static ProcessResult RunChecked(const std::vector<std::string>& argv,
                                    const std::filesystem::path& cwd = {});
    static std::string CommandText(const std::vector<std::string>& argv);
};

}  // namespace zub::bench
