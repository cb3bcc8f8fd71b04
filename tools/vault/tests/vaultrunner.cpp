#include "vaultrunner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "vault_tests_paths.h"
#include "zubtest/files.h"

extern char** environ;

namespace zub::vault::test {

namespace fs = std::filesystem;

nlohmann::json RunResult::Json() const {
    try {
        return nlohmann::json::parse(out);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not JSON: " << e.what() << "\n" << out;
        return {};
    }
}

std::string ErrorLine(long number, const std::string& text) {
    return "vault: error " + std::to_string(number) + ": " + text + "\n";
}

void VaultCli::SetUp() {
    dir_.emplace("vault-test");
    ws_ = dir_->path();
    store_ = ws_ / "store";
}

void VaultCli::TearDown() { dir_.reset(); }

RunResult VaultCli::Run(const std::vector<std::string>& args,
                        const std::map<std::string, std::string>& env,
                        const std::optional<fs::path>& cwd) {
    return Wait(Start(args, env, cwd));
}

VaultCli::Started VaultCli::Start(const std::vector<std::string>& args,
                                  const std::map<std::string, std::string>& env,
                                  const std::optional<fs::path>& cwd) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const auto eq = entry.find('=');
        if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    // English unless a test asks for another language: the expected texts
    // must not depend on the machine's locale.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) vars.erase(name);
    vars["LANG"] = "en_US.UTF-8";
    vars["VAULT_STORE"] = store_.string();
    vars["VAULT_USER"] = "system";
    // The user's own config file and state never leak into or out of a test.
    vars["XDG_CONFIG_HOME"] = (ws_ / ".config").string();
    vars["XDG_STATE_HOME"] = (ws_ / ".state").string();
    for (const auto& [k, v] : env) {
        if (v.empty())
            vars.erase(k);
        else
            vars[k] = v;
    }
    std::vector<std::string> envText;
    for (const auto& [k, v] : vars) envText.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argText{VAULT_BINARY};
    argText.insert(argText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argText) argv.push_back(a.data());
    argv.push_back(nullptr);

    static int started = 0;
    const std::string tag = std::to_string(++started);
    const fs::path outFile = ws_ / (".stdout" + tag);
    const fs::path errFile = ws_ / (".stderr" + tag);
    const fs::path dir = cwd ? *cwd : ws_;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::dup2(in, 0) < 0 || ::chdir(dir.c_str()) != 0)
            ::_exit(127);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (pid < 0) ADD_FAILURE() << "fork failed";
    return {pid, outFile, errFile};
}

RunResult VaultCli::Wait(const Started& started) {
    RunResult r;
    if (started.pid < 0) return r;
    int status = 0;
    ::waitpid(started.pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadFile(started.out);
    r.err = ReadFile(started.err);
    std::error_code ec;
    fs::remove(started.out, ec);
    fs::remove(started.err, ec);
    return r;
}

RunResult VaultCli::RunAs(const std::string& user, const std::vector<std::string>& args) {
    return Run(args, {{"VAULT_USER", user}});
}

std::string VaultCli::Ok(const std::vector<std::string>& args) {
    const RunResult r = Run(args);
    std::string line;
    for (const auto& a : args) line += " " + a;
    EXPECT_EQ(r.code, 0) << "vault" << line << "\n" << r.out << r.err;
    return r.out;
}

std::string VaultCli::OkAs(const std::string& user, const std::vector<std::string>& args) {
    const RunResult r = RunAs(user, args);
    std::string line;
    for (const auto& a : args) line += " " + a;
    EXPECT_EQ(r.code, 0) << user << ": vault" << line << "\n" << r.out << r.err;
    return r.out;
}

void VaultCli::InitStore() { Ok({"init"}); }

void VaultCli::InitWithUsers() {
    InitStore();
    Ok({"user", "add", "alice"});
    Ok({"user", "add", "bob"});
    Ok({"user", "add", "carol"});
    Ok({"repo", "create", "demo"});
}

void VaultCli::WriteFile(const std::string& relative, const std::string& content) const {
    zub::testsupport::WriteFile(ws_ / relative, content);
}

std::string VaultCli::ReadFile(const fs::path& path) const {
    return zub::testsupport::ReadFile(path);
}

}  // namespace zub::vault::test
