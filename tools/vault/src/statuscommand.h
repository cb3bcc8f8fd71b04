// vault status [--all]: the check-outs the acting user holds in every
// repository, with the state of the local copy where it is known; --all lists
// everyone's (in the repositories the user may read) with how long each is held.
#pragma once

#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>

#include "session.h"

namespace zub::vault {

class StatusCommand {
public:
    explicit StatusCommand(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    // The local copy against the recorded sum and size of the current file:
    // "unchanged", "changed", "missing", or "unknown" when the store has no
    // sum yet and the sizes agree.
    static std::string LocalState(const std::filesystem::path& file, const std::string& sha256,
                                  long long bytes);

private:
    void Run();

    Session& s_;
    bool all_ = false;
};

}  // namespace zub::vault
