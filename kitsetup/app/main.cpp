// kitsetup: installs the product as install.xml describes it. Without a
// window the options below drive the wizard's flow.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "unattended.h"
#include "wizard/run_wizard.h"
#include "zub/i18n.h"

namespace {

// The parser's own complaints, in the user's language.
std::string ParseFailure(const CLI::App*, const CLI::Error& e) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
        const auto colon = what.find(": ");
        return zub::trf("kitsetup: unexpected argument: %s",
                        colon == std::string::npos ? what.c_str() : what.c_str() + colon + 2) +
               "\n";
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&e) != nullptr) {
        const auto at = what.find(" excludes ");
        if (at != std::string::npos) {
            return zub::trf("kitsetup: %s excludes %s", what.substr(0, at).c_str(),
                            what.substr(at + 10).c_str()) +
                   "\n";
        }
    }
    std::string options;
    for (std::size_t at = what.find("--"); at != std::string::npos; at = what.find("--", at + 2)) {
        std::size_t end = what.find_first_of(" :,", at);
        if (end == std::string::npos) end = what.size();
        if (!options.empty()) options += ", ";
        options += what.substr(at, end - at);
        at = end - 2;
    }
    if (options.empty())
        return std::string(zub::tr("kitsetup: invalid command line; see --help")) + "\n";
    return zub::trf("kitsetup: invalid use of %s; see --help", options.c_str()) + "\n";
}

}  // namespace

int main(int argc, char** argv) {
    zub::i18n::Init("kitsetup");
    zub::kitsetup::UnattendedOptions o;
    bool unattended = false;
    CLI::App app{
        zub::tr("kitsetup - installs the product described by install.xml from its payload "
                "folder.\n"
                "Without a window: give --unattended (or any install option) and the install "
                "runs\n"
                "the wizard's steps: script, licence, location, install type or modules, "
                "checks,\n"
                "install, with the install log in the install directory.\n"
                "Exit codes: 0 done, 1 install failed, 2 bad use or script, 3 product "
                "already\n"
                "installed, 4 a check failed, 5 nothing to install."),
        "kitsetup"};
    app.failure_message(ParseFailure);
    auto formatter = app.get_formatter();
    formatter->label("Usage", zub::tr("Usage"));
    formatter->label("OPTIONS", zub::tr("OPTIONS"));
    formatter->label("Excludes", zub::tr("Excludes"));
    const std::string group = zub::tr("Options");
    const std::string text = zub::tr("TEXT");
    app.set_help_flag("-h,--help", zub::tr("Print this help message and exit"))->group(group);
    app.option_defaults()->group(group);
    app.add_flag("--unattended", unattended, zub::tr("Install without a window"));
    app.add_option("--from", o.from,
                   zub::tr("Payload folder with install.xml and source/ (default: .)"))
        ->type_name(text);
    app.add_option("--dir", o.dir, zub::tr("Install directory (default: the script's)"))
        ->type_name(text);
    auto* type = app.add_option("--type", o.type, zub::tr("Install type, by name or number from 1"))
                     ->type_name(text);
    app.add_option("--modules", o.modules, zub::tr("Comma list of module names to install"))
        ->type_name(text)
        ->excludes(type);
    app.add_flag("--accept-license", o.acceptLicense, zub::tr("Accept the licence in license.txt"));
    app.add_flag(
        "--dry-run", o.dryRun,
        zub::tr("Print what would be copied, registered, linked, run and written; change nothing"));
    app.add_flag("--uninstall", o.uninstall,
                 zub::tr("Undo what the install of the product (or the one in --dir) recorded"));
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
