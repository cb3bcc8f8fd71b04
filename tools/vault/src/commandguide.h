// Finding one's way in the command tree: what a mistyped or missing command
// word was, the nearest command to suggest, and the command a list of words
// names (for `vault help COMMAND`).
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace zub::vault {

class CommandGuide {
public:
    // What was wrong with the command words of a failed parse.
    struct Finding {
        enum class Kind { None, Unknown, GroupAlone };
        Kind kind = Kind::None;
        const CLI::App* at = nullptr;  // the group the words stopped in
        std::string word;              // the unknown word
        std::vector<std::string> nearest;
    };

    // Walks argv[1..] through the tree: global options (and the values they
    // take) are skipped, the first word a group does not know is Unknown, a
    // group without its subcommand is GroupAlone.
    static Finding Diagnose(const CLI::App& root, const std::vector<std::string>& args);
    // The message for an Unknown finding, one line: names the word and the
    // nearest commands, or lists the group's commands when none is near.
    static std::string Message(const Finding& finding);
    // The subcommand the words name below root; root itself for none; null
    // when a word is not a command.
    static const CLI::App* Find(const CLI::App& root, const std::vector<std::string>& words);

    // Edit distance counting a swap of neighbours as one edit.
    static std::size_t Distance(const std::string& a, const std::string& b);
    // The names (and aliases) of the visible subcommands of `group` nearest
    // to `word`: those it begins, else those within a third of its length
    // (at least 1, at most 3 edits).
    static std::vector<std::string> Nearest(const CLI::App& group, const std::string& word);
    // "vault doc checkout": the words leading to the command.
    static std::string Path(const CLI::App& app);
    // The visible subcommands of a group, in the order they were added.
    static std::vector<const CLI::App*> Commands(const CLI::App& group);
};

}  // namespace zub::vault
