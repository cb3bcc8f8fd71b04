// The texts the command-line parser prints itself (help headings, its
// refusals), in the user's language like the tool's own.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace zub::vault {

class CliText {
public:
    // Sets the help headings and labels of the whole command tree; call after
    // every command is registered.
    static void Localize(CLI::App& root);
    // One of the parser's messages ("NAME is required"), translated.
    static std::string Translate(const std::string& message);
    // The failure message: the parser's text and the hint to --help.
    static std::string Failure(const CLI::App* app, const CLI::Error& e);
};

}  // namespace zub::vault
