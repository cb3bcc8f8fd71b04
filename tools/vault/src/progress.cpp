#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "vaultfs/cnfs_cmd.h"
#include "zub/i18n.h"

namespace zub::vault {

namespace {
bool silenced = false;
}  // namespace

bool Progress::Wanted() { return !silenced && ::isatty(STDERR_FILENO) == 1; }

void Progress::Silence(bool quiet) { silenced = quiet; }

Progress::Progress(std::string label, bool enabled, std::FILE* to, std::uint64_t threshold)
    : label_(std::move(label)), enabled_(enabled), to_(to), threshold_(threshold), clock_([] {
          return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }) {
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

void Progress::Relabel(std::string label) {
    label_ = std::move(label);
    labels_.clear();
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

std::string Progress::Duration(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(std::max(seconds, 0.0)));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

namespace {

// Rate and time left need a moment of measuring to mean anything.
constexpr double kMeasured = 0.5;

std::string Pace(std::uint64_t done, std::uint64_t total, double seconds) {
    if (seconds < kMeasured || done == 0) return "";
    const double rate = static_cast<double>(done) / seconds;
    std::string text = "  " + Progress::Size(static_cast<std::uint64_t>(rate)) + "/s";
    if (total > done)
        text +=
            "  " + zub::trf("%s left",
                            Progress::Duration(static_cast<double>(total - done) / rate).c_str());
    return text;
}

}  // namespace

std::string Progress::Line(const std::string& label, std::uint64_t done, std::uint64_t total,
                           int barWidth, double seconds) {
    std::string line = label + "  ";
    if (total == 0) return line + Size(done) + Pace(done, total, seconds);
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
    return line + Pace(done, total, seconds);
}

void Progress::Update(std::wstring_view operation, std::uint64_t done, std::uint64_t total) {
    if (!enabled_) return;
    const double now = clock_();
    if (operation != operation_ || !begun_) {
        begun_ = true;
        EndLine();
        operation_ = operation;
        started_ = now;
        drawnAt_ = -1;
    }
    // Small transfers stay quiet; one that has shown its line keeps it.
    if (last_.empty() && std::max(done, total) < threshold_) return;
    // A terminal redrawn for every block slows the transfer it shows.
    const bool finished = total != 0 && done >= total;
    if (drawnAt_ >= 0 && now - drawnAt_ < kRedrawInterval && !finished) return;
    const auto own = labels_.find(operation);
    std::string line =
        Line(own != labels_.end() ? own->second : label_, done, total, 30, now - started_);
    if (line == last_) return;
    // Blank out what is left of a longer previous line.
    std::string shown = line;
    if (last_.size() > line.size()) shown.append(last_.size() - line.size(), ' ');
    std::fputc('\r', to_);
    std::fputs(shown.c_str(), to_);
    std::fflush(to_);
    last_ = std::move(line);
    drawn_ = true;
    drawnAt_ = now;
}

}  // namespace zub::vault
