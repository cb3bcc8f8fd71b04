#include "clitext.h"

#include <memory>
#include <vector>

#include "helpformatter.h"
#include "zub/i18n.h"

namespace zub::vault {

namespace {

// The parser's messages as it forms them; matched with their values filled.
const char* const kMessages[] = {
    ZUB_N_("A subcommand is required"),
    ZUB_N_("%s is required"),
    ZUB_N_("The following argument was not expected: %s"),
    ZUB_N_("The following arguments were not expected: %s"),
    ZUB_N_("The value %s is not an allowed value for %s"),
    ZUB_N_("Could not convert: %s = %s"),
    ZUB_N_("%s: %d required %s missing"),
    ZUB_N_("Expected exactly %d arguments to %s, got %d"),
    ZUB_N_("Expected at least %d arguments to %s, got %d"),
    ZUB_N_("%s: too many inputs for a flag"),
    ZUB_N_("%s excludes %s"),
    ZUB_N_("%s requires %s"),
    ZUB_N_("%s not found"),
    ZUB_N_("%s: %s not in %s"),
    ZUB_N_("%s: Value %s not in range %s to %s"),
    ZUB_N_("%s: Value %s could not be converted"),
};

// The labels the help is laid out with.
const char* const kLabels[] = {ZUB_N_("Usage"),       ZUB_N_("OPTIONS"),  ZUB_N_("SUBCOMMAND"),
                               ZUB_N_("SUBCOMMANDS"), ZUB_N_("REQUIRED"), ZUB_N_("Positionals"),
                               ZUB_N_("TEXT"),        ZUB_N_("INT"),      ZUB_N_("UINT"),
                               ZUB_N_("FLOAT"),       ZUB_N_("Needs"),    ZUB_N_("Excludes")};

void LocalizeGroups(CLI::App& app) {
    for (CLI::Option* opt : app.get_options())
        if (opt->get_group() == "Options") opt->group(zub::tr("Options"));
    for (CLI::App* sub : app.get_subcommands({})) {
        if (sub->get_group() == "Subcommands") sub->group(zub::tr("Subcommands"));
        LocalizeGroups(*sub);
    }
}

void SetFormatter(CLI::App& app, const std::shared_ptr<HelpFormatter>& formatter) {
    app.formatter(formatter);
    for (CLI::App* sub : app.get_subcommands({})) SetFormatter(*sub, formatter);
}

}  // namespace

void CliText::Localize(CLI::App& root) {
    auto formatter = std::make_shared<HelpFormatter>();
    SetFormatter(root, formatter);
    for (const char* label : kLabels) formatter->label(label, zub::tr(label));
    LocalizeGroups(root);
}

std::string CliText::Translate(const std::string& message) {
    static const std::vector<std::string> ids(std::begin(kMessages), std::end(kMessages));
    return zub::i18n::TranslateByTemplate(message, ids, &zub::tr);
}

std::string CliText::Failure(const CLI::App* app, const CLI::Error& e) {
    const CLI::Option* help = app ? app->get_help_ptr() : nullptr;
    const std::string flag = help ? help->get_name() : "--help";
    return Translate(e.what()) + "\n" +
           zub::trf("Run with %s for more information.", flag.c_str()) + "\n";
}

}  // namespace zub::vault
