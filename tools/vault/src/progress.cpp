#include "progress.h"

#include <unistd.h>

#include <algorithm>

#include "vaultfs/cnfs_cmd.h"

bool Progress::Wanted() { return ::isatty(STDERR_FILENO) == 1; }

Progress::Progress(std::string label, bool enabled, std::FILE* to, std::uint64_t threshold)
    : label_(std::move(label)), enabled_(enabled), to_(to), threshold_(threshold) {
    if (enabled_)
        NFS::CNFS_Cmd::Instance()->SetOperationProgress(
            [this](std::wstring_view operation, std::uint64_t done, std::uint64_t total) {
                Update(operation, done, total);
            });
}

Progress::~Progress() {
    if (enabled_) NFS::CNFS_Cmd::Instance()->SetOperationProgress({});
    EndLine();
}

void Progress::Label(std::wstring operation, std::string label) {
    labels_[std::move(operation)] = std::move(label);
}

void Progress::EndLine() {
    if (last_.empty()) return;
    std::fputc('\n', to_);
    std::fflush(to_);
    last_.clear();
}

std::string Progress::Size(std::uint64_t bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string Progress::Line(const std::string& label, std::uint64_t done, std::uint64_t total,
                           int barWidth) {
    std::string line = label + "  ";
    if (total == 0) return line + Size(done);
    done = std::min(done, total);
    const int percent = static_cast<int>(done * 100 / total);
    const int filled = static_cast<int>(done * static_cast<std::uint64_t>(barWidth) / total);
    line += '[';
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(barWidth - filled), '-');
    char pct[8];
    std::snprintf(pct, sizeof pct, "%3d%%", percent);
    line += "] ";
    line += pct;
    line += "  " + Size(done) + "/" + Size(total);
    return line;
}

void Progress::Update(std::wstring_view operation, std::uint64_t done, std::uint64_t total) {
    if (!enabled_) return;
    if (operation != operation_) {
        EndLine();
        operation_ = operation;
    }
    // Small transfers stay quiet; one that has shown its line keeps it.
    if (last_.empty() && std::max(done, total) < threshold_) return;
    const auto own = labels_.find(operation);
    std::string line = Line(own != labels_.end() ? own->second : label_, done, total, 30);
    if (line == last_) return;
    // Blank out what is left of a longer previous line.
    std::string shown = line;
    if (last_.size() > line.size()) shown.append(last_.size() - line.size(), ' ');
    std::fputc('\r', to_);
    std::fputs(shown.c_str(), to_);
    std::fflush(to_);
    last_ = std::move(line);
    drawn_ = true;
}
