#include "helpformatter.h"

#include "output.h"

namespace zub::vault {

std::string HelpFormatter::make_option(const CLI::Option* opt, bool is_positional) const {
    return Line(make_option_name(opt, is_positional) + make_option_opts(opt), make_option_desc(opt),
                get_column_width());
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
    return Line(sub->get_display_name(true), sub->get_description(), get_column_width());
}

std::string HelpFormatter::Line(const std::string& name, const std::string& description,
                                std::size_t column) {
    std::string line = "  " + name;
    const std::size_t width = Output::DisplayWidth(line);
    if (width < column) line += std::string(column - width, ' ');
    if (description.empty()) return line + "\n";
    if (width >= column) line += "\n" + std::string(column, ' ');
    for (const char c : description) {
        line += c;
        if (c == '\n') line += std::string(column, ' ');
    }
    return line + "\n";
}

}  // namespace zub::vault
