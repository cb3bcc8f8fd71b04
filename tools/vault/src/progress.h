// A progress bar for the file-server transfers made while it lives. It draws
// only when enabled (standard error is a terminal) and only for transfers
// large enough to be worth watching, so scripts and short copies stay quiet.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class Progress {
public:
    static constexpr std::uint64_t kDefaultThreshold = 1u << 20;

    // Whether bars should be drawn at all: standard error is a terminal.
    static bool Wanted();

    // Installs itself as the file server's progress report when enabled.
    Progress(std::string label, bool enabled, std::FILE* to = stderr,
             std::uint64_t threshold = kDefaultThreshold);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Called by the file server (bytes done, bytes expected or 0 when unknown).
    void Update(std::uint64_t done, std::uint64_t total);
    bool Drawn() const { return drawn_; }

    // The line shown for a state, e.g. "Uploading a.prt  [#####-----]  50%  1.0 MiB/2.0 MiB".
    static std::string Line(const std::string& label, std::uint64_t done, std::uint64_t total,
                            int barWidth);
    static std::string Size(std::uint64_t bytes);

private:
    std::string label_;
    bool enabled_;
    std::FILE* to_;
    std::uint64_t threshold_;
    bool drawn_ = false;
    std::string last_;
};
