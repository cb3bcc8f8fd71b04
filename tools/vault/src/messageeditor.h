// A check-in message written in the user's editor, as version control tools
// do when -m is not given on a terminal.
#pragma once

#include <string>

namespace zub::vault {

class MessageEditor {
public:
    // Standard input is a terminal, so an editor can be used.
    static bool Available();
    // Opens $VISUAL, else $EDITOR, else vi, on a file holding `help` as
    // comment lines; returns the message written (cleaned). Throws when the
    // editor fails.
    static std::string Ask(const std::string& help);
    // Lines starting with '#' dropped, blank lines and blanks at both ends
    // trimmed.
    static std::string Clean(const std::string& text);
    // Throws unless the message has a character other than blanks.
    static void RequireText(const std::string& message);
};

}  // namespace zub::vault
