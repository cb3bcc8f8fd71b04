#include "steprunner.h"

#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "process.h"

namespace zub::bench {

Measure StepRunner::Run(const std::string& step, const std::vector<std::string>& args) {
    std::vector<std::string> argv{std::filesystem::read_symlink("/proc/self/exe").string(),
                                  "--step", step};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProcessResult r = Process::RunChecked(argv);

    Measure m;
    m.peakRssBytes = r.peakRssBytes;
    bool seen = false;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);) {
        if (line.rfind("seconds=", 0) == 0) {
            m.seconds = std::stod(line.substr(8));
            seen = true;
        } else if (line.rfind("cpu=", 0) == 0) {
            m.cpuSeconds = std::stod(line.substr(4));
        } else if (line.rfind("peak=", 0) == 0) {
            // The child's own figure: ru_maxrss would include ours (see Process).
            m.peakRssBytes = std::stoll(line.substr(5));
        }
    }
    if (!seen) throw std::runtime_error("step " + step + " reported no time: " + r.out + r.err);
    return m;
}

}  // namespace zub::bench
