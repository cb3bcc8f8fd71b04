// Transfers and server-side copies show a bar on a terminal and nothing when
// output is not one.
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "vault_tests_paths.h"
#include "vaultrunner.h"

namespace zub::vault::test {

namespace {

// Runs the binary with standard error on a pseudo-terminal; returns what the
// terminal received and sets `code`. Nothing when no terminal can be had.
std::optional<std::string> RunOnTerminal(const std::vector<std::string>& args,
                                         const std::string& store, const std::string& cwd,
                                         int& code) {
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        // Only standard error stays on the terminal.
        const int null = ::open("/dev/null", O_WRONLY);
        if (null < 0 || ::dup2(null, 1) < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(127);
        ::setenv("VAULT_STORE", store.c_str(), 1);
        ::setenv("VAULT_USER", "system", 1);
        // The bars' words are compared in English, whatever the machine's language.
        ::setenv("LANG", "en_US.UTF-8", 1);
        for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) ::unsetenv(v);
        std::vector<std::string> text{VAULT_BINARY};
        text.insert(text.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : text) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the child has gone
        seen.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return seen;
}

}  // namespace

TEST_F(VaultCli, LargeTransfersShowABarOnATerminalOnly) {
    InitStore();
    Ok({"repo", "create", "demo"});
    WriteFile("big.bin", std::string(3u << 20, 'x'));

    int code = -1;
    const auto tried =
        RunOnTerminal({"doc", "add", "demo", "big.bin"}, store_.string(), ws_.string(), code);
    if (!tried) GTEST_SKIP() << "no pseudo-terminal available";
    const std::string upload = *tried;
    EXPECT_EQ(code, 0);
    EXPECT_NE(upload.find("Uploading big.bin  ["), std::string::npos) << upload;
    EXPECT_NE(upload.find("100%  3.0 MiB/3.0 MiB"), std::string::npos) << upload;

    const std::string download =
        RunOnTerminal({"doc", "checkout", "1", "w"}, store_.string(), ws_.string(), code)
            .value_or("");
    EXPECT_EQ(code, 0);
    EXPECT_NE(download.find("Downloading big.bin  ["), std::string::npos) << download;
    EXPECT_EQ(ReadFile(Path("w/big.bin")).size(), 3u << 20);

    // Small files stay quiet even on a terminal.
    WriteFile("small.txt", "tiny\n");
    EXPECT_EQ(
        RunOnTerminal({"doc", "add", "demo", "small.txt"}, store_.string(), ws_.string(), code),
        std::optional<std::string>(""));
    EXPECT_EQ(code, 0);

    // Not a terminal: nothing on standard error.
    const RunResult piped = Run({"doc", "view", "1", "v"});
    EXPECT_EQ(piped.code, 0);
    EXPECT_EQ(piped.err, "");
}

TEST_F(VaultCli, ServerSideCopiesShowABarOnATerminalOnly) {
    InitStore();
    Ok({"repo", "create", "demo"});
    WriteFile("big.bin", std::string(2u << 20, 'b'));
    WriteFile("part.bin", std::string(512u << 10, 'p'));
    Ok({"doc", "add", "demo", "big.bin"});
    Ok({"doc", "add", "demo", "part.bin", "--folder", "parts/bolts"});

    // A baseline copies the whole tree on the server: one bar over all of it.
    int code = -1;
    const auto tried =
        RunOnTerminal({"baseline", "create", "demo", "v1"}, store_.string(), ws_.string(), code);
    if (!tried) GTEST_SKIP() << "no pseudo-terminal available";
    const std::string frozen = *tried;
    EXPECT_EQ(code, 0);
    EXPECT_NE(frozen.find("Freezing demo as v1  ["), std::string::npos) << frozen;
    EXPECT_NE(frozen.find("100%  2.5 MiB/2.5 MiB"), std::string::npos) << frozen;
    EXPECT_EQ(frozen.find("Uploading"), std::string::npos) << frozen;

    // Not a terminal: the same copy draws nothing.
    const RunResult piped = Run({"baseline", "create", "demo", "v2"});
    EXPECT_EQ(piped.code, 0);
    EXPECT_EQ(piped.err, "");
    EXPECT_NE(piped.out.find("Created baseline v2"), std::string::npos) << piped.out;
    const std::string listed = Ok({"baseline", "list", "demo"});
    EXPECT_NE(listed.find("v1"), std::string::npos) << listed;
    EXPECT_NE(listed.find("v2"), std::string::npos) << listed;

    // A check-in uploads once; the replaced version is moved on the server,
    // not copied, so no second bar appears.
    Ok({"doc", "checkout", "1", "w"});
    WriteFile("w/big.bin", std::string(3u << 20, 'n'));
    const std::string checkin = RunOnTerminal({"doc", "checkin", "1", "w/big.bin", "-m", "edit"},
                                              store_.string(), ws_.string(), code)
                                    .value_or("");
    EXPECT_EQ(code, 0);
    EXPECT_NE(checkin.find("Uploading big.bin  ["), std::string::npos) << checkin;
    EXPECT_NE(checkin.find("100%  3.0 MiB/3.0 MiB"), std::string::npos) << checkin;
    EXPECT_EQ(checkin.find("to history"), std::string::npos) << checkin;

    // A small repository's baseline stays quiet even on a terminal.
    Ok({"repo", "create", "tiny"});
    WriteFile("small.txt", "tiny\n");
    Ok({"doc", "add", "tiny", "small.txt"});
    EXPECT_EQ(
        RunOnTerminal({"baseline", "create", "tiny", "t1"}, store_.string(), ws_.string(), code),
        std::optional<std::string>(""));
    EXPECT_EQ(code, 0);
}

}  // namespace zub::vault::test
