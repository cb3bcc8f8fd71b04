// The help's two columns, aligned by the width a name takes on the terminal:
// a translated label ("文本") takes two columns a character, not its bytes.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace zub::vault {

class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option(const CLI::Option* opt, bool is_positional) const override;
    std::string make_subcommand(const CLI::App* sub) const override;

    // A name and its description, the description starting at `column`.
    static std::string Line(const std::string& name, const std::string& description,
                            std::size_t column);
};

}  // namespace zub::vault
