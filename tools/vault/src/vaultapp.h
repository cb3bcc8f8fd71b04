// The command line: global options, the command groups, and how failures
// become messages and exit codes (0 done, 1 failed, 2 bad arguments).
#pragma once

#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "baselinecommands.h"
#include "doccommands.h"
#include "initcommand.h"
#include "logcommand.h"
#include "output.h"
#include "repocommands.h"
#include "rightcommands.h"
#include "session.h"
#include "statuscommand.h"
#include "strategycommands.h"
#include "usercommands.h"
#include "vaulterror.h"
#include "verifycommand.h"

namespace zub::vault {

class VaultApp {
public:
    static constexpr int kFailed = 1;
    static constexpr int kUsage = 2;

    VaultApp(std::ostream& out, std::ostream& err);
    int Run(int argc, char** argv);

private:
    // A bad argument found after the parse: the message, exit status 2.
    struct Usage : std::runtime_error {
        using std::runtime_error::runtime_error;
    };

    // The user's config file fills in what neither options nor the
    // environment give; quiet silences progress.
    void ApplySettings();
    void RegisterHelp();
    void Help();
    static std::string HelpOf(const CLI::App& command);
    // A failure: its line on standard error; with --json, also the error as
    // JSON on standard output unless the command printed its own.
    void Fail(const VaultError& e);

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
    StatusCommand status_;
    BaselineCommands baselines_;
    VerifyCommand verify_;
    LogCommand log_;
    std::vector<std::string> helpWords_;
    bool man_ = false;
    std::string shell_;
};

}  // namespace zub::vault
