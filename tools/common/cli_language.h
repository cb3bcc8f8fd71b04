// CLI11's own texts (the help's layout, its parse errors) in the user's
// language, through the catalog of the program that includes this header:
// each such program lists it among its catalog's sources.
#pragma once

#include <zub/i18n.h>

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace zub::tools {

// The messages CLI11 builds for the mistakes our command lines can meet, as
// templates its texts are matched against.
inline const std::vector<std::string>& ParseErrorTemplates() {
    static const std::vector<std::string> templates{
        ZUB_N_("The following argument was not expected: %s"),
        ZUB_N_("The following arguments were not expected: %s"),
        ZUB_N_("A subcommand is required"),
        ZUB_N_("%s is required"),
        ZUB_N_("%s: %d required %s missing"),
        ZUB_N_("%s: too many inputs for a flag"),
        ZUB_N_("%s: Should be true/false or a number"),
        ZUB_N_("Could not convert: %s = %s"),
    };
    return templates;
}

// A parse error's text in the user's language; unknown texts stay as they are.
inline std::string ParseErrorText(const std::string& what) {
    return zub::i18n::TranslateByTemplate(what, ParseErrorTemplates(),
                                          [](const char* id) { return zub::tr(id); });
}

// Columns a terminal gives the UTF-8 text: two for a CJK character, so the
// help's descriptions line up in Chinese too.
inline std::size_t DisplayWidth(const std::string& utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        char32_t c = extra == 3 ? b & 0x07u : extra == 2 ? b & 0x0Fu : extra == 1 ? b & 0x1Fu : b;
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3Fu);
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

// CLI11's layout, with columns counted on the screen rather than in bytes.
class ScreenFormatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* opt, bool is_positional) const override {
        const std::string name =
            "  " + make_option_name(opt, is_positional) + make_option_opts(opt);
        const std::string description = make_option_desc(opt);
        const std::size_t column = get_column_width(), width = DisplayWidth(name);
        std::string out = name;
        if (!description.empty()) {
            out += width >= column ? "\n" + std::string(column, ' ')
                                   : std::string(column - width, ' ');
            for (const char c : description) {
                out += c;
                if (c == '\n') out += std::string(column, ' ');
            }
        }
        return out + "\n";
    }
};

// Call on the app before any option or subcommand is added: they take their
// formatter, option group and subcommand group from it.
inline void SpeakUserLanguage(CLI::App& app) {
    const auto formatter = std::make_shared<ScreenFormatter>();
    formatter->label("Usage", zub::tr("Usage"));
    formatter->label("OPTIONS", zub::tr("OPTIONS"));
    formatter->label("SUBCOMMAND", zub::tr("SUBCOMMAND"));
    formatter->label("SUBCOMMANDS", zub::tr("SUBCOMMANDS"));
    formatter->label("REQUIRED", zub::tr("REQUIRED"));
    formatter->label("Positionals", zub::tr("Positionals"));
    formatter->label("TEXT", zub::tr("TEXT"));
    app.formatter(formatter);
    app.option_defaults()->group(zub::tr("Options"));
    app.group(zub::tr("Subcommands"));
    app.set_help_flag("-h,--help", zub::tr("Print this help message and exit"));
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return ParseErrorText(e.what()) + "\n" +
               zub::trf("Run with %s for more information.\n", "--help");
    });
}

// app.add_subcommand, with the subcommand's help flag in the user's language:
// CLI11 makes that flag before the subcommand takes the app's option group.
inline CLI::App* AddSubcommand(CLI::App& app, const std::string& name,
                               const std::string& description) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->set_help_flag("-h,--help", zub::tr("Print this help message and exit"));
    return sub;
}

}  // namespace zub::tools
