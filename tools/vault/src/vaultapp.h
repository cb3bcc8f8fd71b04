// The command line: global options, the command groups, and how failures
// become messages and exit codes (0 done, 1 failed, 2 bad arguments).
#pragma once

#include <iosfwd>
#include <memory>

#include <CLI/CLI.hpp>

#include "baselinecommands.h"
#include "doccommands.h"
#include "initcommand.h"
#include "logcommand.h"
#include "output.h"
#include "repocommands.h"
#include "rightcommands.h"
#include "session.h"
#include "strategycommands.h"
#include "usercommands.h"
#include "verifycommand.h"

class VaultApp {
public:
    static constexpr int kFailed = 1;
    static constexpr int kUsage = 2;

    VaultApp(std::ostream& out, std::ostream& err);
    int Run(int argc, char** argv);

private:
    std::ostream& out_;
    std::ostream& err_;
    CLI::App app_;
    Output output_;
    Session session_;
    InitCommand init_;
    UserCommands users_;
    RepoCommands repos_;
    RightCommands rights_;
    StrategyCommands strategy_;
    DocCommands docs_;
    BaselineCommands baselines_;
    VerifyCommand verify_;
    LogCommand log_;
};
