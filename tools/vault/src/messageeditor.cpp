#include "messageeditor.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "scratchdir.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

namespace fs = std::filesystem;

bool MessageEditor::Available() { return ::isatty(STDIN_FILENO) == 1; }

std::string MessageEditor::Clean(const std::string& text) {
    std::istringstream in(text);
    std::string kept;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#') continue;
        kept += line + '\n';
    }
    const char* blanks = " \t\r\n";
    const auto first = kept.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return kept.substr(first, kept.find_last_not_of(blanks) - first + 1);
}

void MessageEditor::RequireText(const std::string& message) {
    if (Clean(message).empty())
        throw VaultError(VaultErr::kBadName,
                         zub::tr("the check-in message is empty; nothing was checked in"));
}

std::string MessageEditor::Ask(const std::string& help) {
    std::string editor;
    for (const char* name : {"VISUAL", "EDITOR"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            editor = value;
            break;
        }
    }
    if (editor.empty()) editor = "vi";
    ScratchDir scratch(fs::temp_directory_path());
    const fs::path file = scratch.path() / "CHECKIN_MESSAGE";
    {
        std::ofstream out(file);
        out << "\n";
        std::istringstream lines(help);
        std::string line;
        while (std::getline(lines, line)) out << "# " << line << '\n';
    }
    // As the shell would run it, so EDITOR may carry options.
    const std::string script = editor + " \"$@\"";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", script.c_str(), editor.c_str(), file.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw VaultError(VaultErr::kBadName,
                         zub::trf("the editor %s failed; nothing was checked in", editor.c_str()));
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return Clean(text.str());
}

}  // namespace zub::vault
