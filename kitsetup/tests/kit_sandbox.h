// A test's own machine: ZUB_ROOT, the registry, a payload folder (the
// working directory while the test runs) and a bin folder first on PATH.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "kitsetup/installer_mgr.h"
#include "zubtest/files.h"
#include "zubtest/sandbox.h"

namespace zub::kitsetup::test {

namespace fs = std::filesystem;
using zub::testsupport::ReadFile;
using zub::testsupport::WriteFile;

// The message of a log line "YYYY-MM-DD HH:MM:SS: message", or nullopt when
// the line does not start with such a stamp.
inline std::optional<std::string> LogMessage(const std::string& line) {
    static const std::string shape = "0000-00-00 00:00:00: ";
    if (line.size() < shape.size()) return std::nullopt;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == '0' ? !digit : line[i] != shape[i]) return std::nullopt;
    }
    return line.substr(shape.size());
}

class KitSandbox : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void SetEnv(const std::string& name, const std::optional<std::string>& value);

    fs::path Root() const { return box_.root(); }
    fs::path Payload() const { return box_.path() / "payload"; }
    fs::path Bin() const { return box_.path() / "bin"; }
    fs::path Dir() const { return box_.path(); }
    // The default install directory of scripts made by ScriptXml.
    fs::path InstallDir() const { return Root() / "opt/zubco/vault"; }

    // A whole script: GENERAL for product "Vault" of "zubco", plus body.
    static std::string ScriptXml(const std::string& body, const std::string& general = "");
    void WriteScript(const std::string& xml) const;
    void WriteSource(const std::string& rel, const std::string& content) const;
    // A shell script on PATH (or at an explicit path), made executable.
    void WriteProgram(const fs::path& path, const std::string& body) const;

    // A manager with the script loaded, defaults set and the given selection.
    void Prepare(InstallerMgr& mgr, const std::wstring& modules) const;

    // Every file and directory below ZUB_ROOT (with contents) and every
    // registry key and value, one line each.
    std::string Snapshot() const;
    // Snapshot without the general log below tmp/ (where a failed install
    // leaves its log) and without an empty HKLM\Software, the container every
    // machine has.
    std::string Machine() const;

private:
    std::string Dump(bool machine) const;

    // The registry in memory: an install flushes hundreds of registry writes.
    zub::testsupport::Sandbox box_{"kitsetup-test", zub::testsupport::TempDir::Medium::Memory};
    fs::path savedCwd_;
    std::string savedLog_;
};

}  // namespace zub::kitsetup::test
