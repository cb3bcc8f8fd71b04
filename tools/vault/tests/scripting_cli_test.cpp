// Scripting conventions: --json anywhere and on every command, -q, and the
// check-in message (-m, the editor on a terminal, never empty).
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "vault_tests_paths.h"
#include "vaultrunner.h"

namespace zub::vault::test {

namespace {

// Runs vault with standard input, output and error on a pseudo-terminal and
// `env` added; returns the exit code.
int RunOnTerminal(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env, const std::string& cwd) {
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::chdir(cwd.c_str()) != 0) ::_exit(127);
        for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
        std::vector<std::string> text{VAULT_BINARY};
        text.insert(text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : text) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    char buffer[4096];
    while (::read(master, buffer, sizeof buffer) > 0) {}
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

class VaultScriptingCli : public VaultCli {
protected:
    void SetUp() override {
        VaultCli::SetUp();
        InitStore();
        Ok({"repo", "create", "demo"});
        WriteFile("图纸/支架.prt", "rev A\n");
        Ok({"doc", "add", "demo", "图纸/支架.prt", "--base", "图纸", "--folder", "零件/螺栓"});
    }
};

// Every command answers in JSON, with --json before or after it.
TEST_F(VaultScriptingCli, JsonIsAcceptedBeforeTheCommandAndEveryCommandAnswersInIt) {
    const struct {
        std::vector<std::string> args;
        const char* key;  // a field the answer has
        const char* value;
    } rows[] = {
        {{"--json", "doc", "show", "1"}, "path", "零件/螺栓/支架.prt"},
        {{"doc", "show", "1", "--json"}, "folder", "零件/螺栓"},
        {{"--json", "doc", "checkout", "1", "w"}, "holder", "system"},
        {{"--json", "doc", "unlock", "1"}, "previous_holder", "system"},
        {{"--json", "doc", "view", "1", "v"}, "fetched_version", "1.0"},
        {{"--json", "doc", "rename", "1", "托架.prt"}, "path", "零件/螺栓/托架.prt"},
        {{"--json", "repo", "show", "demo"}, "directory", "/repos/demo/"},
    };
    for (const auto& r : rows) {
        const RunResult got = Run(r.args);
        EXPECT_EQ(got.code, 0) << r.args[1] << got.err;
        EXPECT_EQ(got.Json()[r.key], r.value) << got.out;
    }
    // A command without JSON of its own hands its sentences over.
    const auto granted = Run({"--json", "rights", "grant", "demo", "system", "rw"}).Json();
    EXPECT_EQ(granted["messages"].size(), 1u) << granted;
    const auto deleted = Run({"--json", "doc", "delete", "1"}).Json();
    EXPECT_EQ(deleted["deleted"], true);
    EXPECT_EQ(deleted["path"], "零件/螺栓/托架.prt");
}

TEST_F(VaultScriptingCli, QuietLeavesOutSentencesButNotDataOrErrors) {
    EXPECT_EQ(Ok({"-q", "doc", "checkout", "1", "w"}), "");
    EXPECT_NE(Ok({"doc", "list", "demo", "--quiet"}).find("零件/螺栓/支架.prt"), std::string::npos);
    const RunResult refused = Run({"-q", "doc", "show", "9"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err, "");
}

TEST_F(VaultScriptingCli, TheCheckinMessageIsNeverEmptyAndComesFromTheEditorOnATerminal) {
    Ok({"doc", "checkout", "1", "w"});
    WriteFile("w/支架.prt", "rev B\n");
    const std::string file = Path("w/支架.prt").string();
    const std::string empty =
        ErrorLine(49710, "the check-in message is empty; nothing was checked in");
    EXPECT_EQ(Run({"doc", "checkin", "1", file, "-m", ""}).err, empty);
    EXPECT_EQ(Run({"doc", "checkin", "1", file, "-m", "  "}).err, empty);
    // Without a terminal -m is required.
    const RunResult none = Run({"doc", "checkin", "1", file});
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.err.find("-m,--message"), std::string::npos) << none.err;

    const std::map<std::string, std::string> env = {
        {"VAULT_STORE", store_.string()}, {"VAULT_USER", "system"}, {"VISUAL", ""}};
    // The editor writes comments only: nothing is checked in.
    auto withEditor = [&](const std::string& editor) {
        auto e = env;
        e["EDITOR"] = editor;
        return RunOnTerminal({"doc", "checkin", "1", file}, e, ws_.string());
    };
    EXPECT_EQ(withEditor("printf '# only a comment\\n' >"), 1);
    EXPECT_EQ(withEditor("false"), 1);
    EXPECT_EQ(Run({"doc", "show", "1", "--json"}).Json()["version"], "1.0");
    EXPECT_EQ(withEditor("printf '\\n更大的孔\\n# left out\\n' >"), 0);
    const auto shown = Run({"doc", "show", "1", "--json"}).Json();
    EXPECT_EQ(shown["version"], "1.1");
    EXPECT_EQ(Run({"doc", "history", "1", "--json"}).Json()[0]["message"], "更大的孔");
}

}  // namespace zub::vault::test
