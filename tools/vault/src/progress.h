// A progress bar for the file-server transfers made while it lives. It draws
// only when enabled (standard error is a terminal) and only for transfers
// large enough to be worth watching, so scripts and short copies stay quiet.
// Each file-server operation gets a line of its own, so a call that copies on
// the server and then uploads shows two bars, not one that jumps back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace zub::vault {

class Progress {
public:
    static constexpr std::uint64_t kDefaultThreshold = 1u << 20;
    // A line is redrawn at most this often (seconds), its last state always.
    static constexpr double kRedrawInterval = 0.1;
    // Seconds on a monotonic clock.
    using Clock = std::function<double()>;

    // Whether bars should be drawn at all: standard error is a terminal and
    // the user did not ask for quiet.
    static bool Wanted();
    static void Silence(bool quiet);

    // Installs itself as the file server's progress report when enabled.
    Progress(std::string label, bool enabled, std::FILE* to = stderr,
             std::uint64_t threshold = kDefaultThreshold);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // The label for one file-server operation (L"copy", L"upload", ...);
    // operations without one show the label given at construction.
    void Label(std::wstring operation, std::string label);
    // A new label for every operation from now on (a batch names its file).
    void Relabel(std::string label);
    // Ends the current line, so a message can be printed below it.
    void Interrupt() { EndLine(); }

    // Called by the file server (bytes done, bytes expected or 0 when unknown),
    // with the operation reporting; a new operation starts a new line.
    void Update(std::wstring_view operation, std::uint64_t done, std::uint64_t total);
    void Update(std::uint64_t done, std::uint64_t total) { Update({}, done, total); }
    // Whether any line was drawn.
    bool Drawn() const { return drawn_; }
    // Replaces the monotonic clock (tests).
    void SetClock(Clock clock) { clock_ = std::move(clock); }

    // The line shown for a state, e.g. "Uploading a.prt  [#####-----]  50%  1.0 MiB/2.0 MiB".
    // After `seconds` of the operation the line adds the rate and, with a
    // known total, the time left: "...  2.0 MiB/s  0:05 left".
    static std::string Line(const std::string& label, std::uint64_t done, std::uint64_t total,
                            int barWidth, double seconds = 0);
    static std::string Size(std::uint64_t bytes);
    // "0:05", "12:30", "1:02:03".
    static std::string Duration(double seconds);

private:
    void EndLine();

    std::string label_;
    std::map<std::wstring, std::string, std::less<>> labels_;  // by operation
    bool enabled_;
    std::FILE* to_;
    std::uint64_t threshold_;
    bool drawn_ = false;
    Clock clock_;
    bool begun_ = false;
    double started_ = 0;      // when the current operation began
    double drawnAt_ = -1;     // when its line was last drawn
    std::wstring operation_;  // of the current line
    std::string last_;        // the current line as drawn; empty before it is
};

}  // namespace zub::vault
