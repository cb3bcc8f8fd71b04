// vault log: the audit trail of a store or of one repository.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "session.h"

namespace zub::vault {

class LogCommand {
public:
    explicit LogCommand(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS]" as an automation date; 0 when
    // the text is neither.
    static double ParseTime(const std::string& text);

private:
    void Run();

    Session& s_;
    std::string repo_;
    std::string doc_;
    std::string user_;
    std::string since_;
};

}  // namespace zub::vault
