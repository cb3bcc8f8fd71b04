// Texts generated from the command tree, so they never drift from it: the
// shell completions for bash and zsh and the manual page vault(1).
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace zub::vault {

class CommandTree {
public:
    static std::string Bash(const CLI::App& root);
    static std::string Zsh(const CLI::App& root);
    // roff for man(1). `extra`: sections written by hand (ENVIRONMENT, FILES ...),
    // already in roff.
    static std::string Man(const CLI::App& root, const std::string& version,
                           const std::string& extra);
    // A text as roff prints it literally.
    static std::string RoffText(const std::string& text);
};

}  // namespace zub::vault
