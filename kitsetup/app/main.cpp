// kitsetup: installs the product as install.xml describes it. Without a
// window the options below drive the wizard's flow.
#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>

#include "unattended.h"
#include "wizard/run_wizard.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    zub::kitsetup::UnattendedOptions o;
    bool unattended = false;
    CLI::App app{
        "kitsetup - installs the product described by install.xml from its payload folder.\n"
        "Without a window: give --unattended (or any install option) and the install runs\n"
        "the wizard's steps: script, licence, location, install type or modules, checks,\n"
        "install, with the install log in the install directory.\n"
        "Exit codes: 0 done, 1 install failed, 2 bad use or script, 3 product already\n"
        "installed, 4 a check failed, 5 nothing to install.",
        "kitsetup"};
    app.add_flag("--unattended", unattended, "Install without a window");
    app.add_option("--from", o.from, "Payload folder with install.xml and source/ (default: .)");
    app.add_option("--dir", o.dir, "Install directory (default: the script's)");
    auto* type = app.add_option("--type", o.type, "Install type, by name or number from 1");
    app.add_option("--modules", o.modules, "Comma list of module names to install")->excludes(type);
    app.add_flag("--accept-license", o.acceptLicense, "Accept the licence in license.txt");
    app.add_flag("--dry-run", o.dryRun,
                 "Print what would be copied, registered, linked, run and written; change nothing");
    app.add_flag("--uninstall", o.uninstall,
                 "Undo what the install of the product (or the one in --dir) recorded");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help is success; every other parse failure is bad use.
        return app.exit(e) == 0 ? zub::kitsetup::kExitOk : zub::kitsetup::kExitUsage;
    }

    if (argc > 1 || unattended) return zub::kitsetup::RunUnattended(o, stdout, stderr);

    // No options at all: the wizard window.
    return zub::kitsetup::RunWizard(argc, argv);
}
