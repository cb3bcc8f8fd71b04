// scripts/demo.sh: the session the README runs.
#include <sys/wait.h>
#include <cstdio>

#include "vault_tests_paths.h"
#include "vaultrunner.h"

namespace zub::vault::test {

namespace {

int RunScript(const std::string& command, std::string& out) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(VaultCli, TheDemoSessionRunsEveryStep) {
    std::string out;
    const int code = RunScript("TMPDIR=" + ws_.string() +
                                   " LANG=en_US.UTF-8 LANGUAGE= LC_ALL= LC_MESSAGES= bash " +
                                   VAULT_DEMO_SCRIPT + " " + VAULT_BINARY + " 2>&1",
                               out);
    EXPECT_EQ(code, 0) << out;
    for (const char* step :
         {"$ vault init\n", "$ vault repo create demo\n", "$ vault doc add demo bracket.prt\n",
          "$ vault doc checkout 1 work\n", "$ vault doc checkin 1 work/bracket.prt -m \"",
          "$ vault doc history 1\n", "$ vault doc get 1 1.0 old\n",
          "$ vault baseline create demo release-1", "$ vault baseline list demo\n",
          "Checked in bracket.prt: version 1.2 (was 1.1)", "demo: all steps succeeded"})
        EXPECT_NE(out.find(step), std::string::npos) << step << "\n" << out;
    // The temporary session cleans up after itself.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ws_),
                            std::filesystem::directory_iterator()),
              0);
}

TEST_F(VaultCli, TheDemoFailsWithoutABinary) {
    std::string out;
    EXPECT_NE(RunScript(std::string("bash ") + VAULT_DEMO_SCRIPT + " " +
                            (ws_ / "missing").string() + " 2>&1",
                        out),
              0);
    EXPECT_NE(out.find("no vault binary"), std::string::npos) << out;
}

TEST_F(VaultCli, TheDemoStopsAtTheFirstFailingStep) {
    WriteFile("failing-vault", "#!/bin/sh\necho \"vault: error 7: broken\" >&2\nexit 1\n");
    std::filesystem::permissions(Path("failing-vault"), std::filesystem::perms::owner_all);
    std::string out;
    EXPECT_EQ(RunScript(std::string("bash ") + VAULT_DEMO_SCRIPT + " " +
                            Path("failing-vault").string() + " 2>&1",
                        out),
              1);
    EXPECT_NE(out.find("$ vault init"), std::string::npos) << out;
    EXPECT_EQ(out.find("$ vault repo create"), std::string::npos) << out;
}

}  // namespace zub::vault::test
