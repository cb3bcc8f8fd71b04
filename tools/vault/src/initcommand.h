// vault init [DIR]: a ready embedded store.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "session.h"

class InitCommand {
public:
    explicit InitCommand(Session& session) : s_(session) {}
    void Register(CLI::App& app);

private:
    void Run();

    Session& s_;
    std::string dir_;
    std::string group_;
    std::string files_;
};
