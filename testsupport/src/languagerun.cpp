#include "zubtest/languagerun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "zub/i18n.h"
#include "zubtest/files.h"
#include "zubtest/language.h"
#include "zubtest/tempdir.h"

extern char** environ;

namespace zub::testsupport {
namespace {

bool ChoosesLanguage(std::string_view entry) {
    return entry.starts_with("LANG=") || entry.starts_with("LANGUAGE=") || entry.starts_with("LC_");
}

}  // namespace

ProgramRun RunSpeaking(Speaks language, const std::string& program,
                       const std::vector<std::string>& args, const std::string& input) {
    TempDir dir("language-run");
    const std::string in = (dir.path() / "in").string(), out = (dir.path() / "out").string(),
                      err = (dir.path() / "err").string();
    WriteFile(in, input);

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (!ChoosesLanguage(*e)) env.emplace_back(*e);
    env.emplace_back(language == Speaks::Chinese ? "LANG=zh_CN.UTF-8" : "LANG=en_US.UTF-8");
    std::vector<char*> envp, argv;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int fdIn = ::open(in.c_str(), O_RDONLY);
        const int fdOut = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int fdErr = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fdIn < 0 || fdOut < 0 || fdErr < 0) ::_exit(126);
        ::dup2(fdIn, 0);
        ::dup2(fdOut, 1);
        ::dup2(fdErr, 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    int rc = 0;
    while (::waitpid(pid, &rc, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    ProgramRun run;
    run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

std::string MixedLine(std::string_view text, Speaks language,
                      const std::vector<std::string>& verbatim) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view original = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::string line(original);
        for (const std::string& v : verbatim)
            for (std::size_t at; !v.empty() && (at = line.find(v)) != std::string::npos;)
                line = line.substr(0, at) + ' ' + line.substr(at + v.size());
        const bool mixed = language == Speaks::English ? HasCjk(line) : !EnglishRun(line).empty();
        if (mixed) return std::string(original);
    }
    return {};
}

std::vector<std::string> NotInLibraryCatalog(const std::vector<std::string>& texts) {
    const std::vector<std::string> ids = zub::i18n::LibraryIds();
    std::vector<std::string> missing;
    for (const std::string& t : texts) {
        // A matched id is filled in from the "translation" given: the marker.
        const auto marker = [](const char*) -> const char* { return "\x01"; };
        if (zub::i18n::TranslateByTemplate(t, ids, marker) != "\x01") missing.push_back(t);
    }
    return missing;
}

}  // namespace zub::testsupport
