// Runs the built `vault` binary in a temporary workspace with its own store,
// capturing standard output, standard error and the exit code.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "zubtest/tempdir.h"

namespace zub::vault::test {

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;

    // Standard output parsed as JSON (fails the test when it is not).
    nlohmann::json Json() const;
};

class VaultCli : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs vault with the arguments. The environment carries VAULT_STORE (the
    // workspace's store), VAULT_USER=system and an English locale (LANG, with
    // LANGUAGE, LC_ALL and LC_MESSAGES removed) unless `env` says otherwise; an
    // empty value removes the variable.
    RunResult Run(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env = {},
                  const std::optional<std::filesystem::path>& cwd = std::nullopt);
    // Starts vault without waiting (as Run); Wait collects it. Processes
    // started together run at the same time.
    struct Started {
        int pid = -1;
        std::filesystem::path out;
        std::filesystem::path err;
    };
    Started Start(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env = {},
                  const std::optional<std::filesystem::path>& cwd = std::nullopt);
    RunResult Wait(const Started& started);
    // The same as user NAME.
    RunResult RunAs(const std::string& user, const std::vector<std::string>& args);
    // Runs and expects success; returns standard output.
    std::string Ok(const std::vector<std::string>& args);
    std::string OkAs(const std::string& user, const std::vector<std::string>& args);

    // A store with the administrator only.
    void InitStore();
    // InitStore, then users alice, bob and carol, and repository "demo".
    void InitWithUsers();

    std::filesystem::path Path(const std::string& relative) const { return ws_ / relative; }
    void WriteFile(const std::string& relative, const std::string& content) const;
    std::string ReadFile(const std::filesystem::path& path) const;

    std::filesystem::path ws_;
    std::filesystem::path store_;

private:
    std::optional<zub::testsupport::TempDir> dir_;
};

// The expected error line for a failure.
std::string ErrorLine(long number, const std::string& text);

}  // namespace zub::vault::test
