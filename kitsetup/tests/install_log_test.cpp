#include "kitsetup/install_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kit_sandbox.h"

namespace kitsetup {
namespace {

namespace fs = std::filesystem;

class InstallLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kitsetup-log-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        saved_ = InstallLog::Path();
        InstallLog::SetPath((dir_ / "installLog.log").string());
    }
    void TearDown() override {
        InstallLog::SetPath(saved_);
        InstallLog::SetDebug(false);
        fs::remove_all(dir_);
    }
    std::vector<std::string> Lines() const {
        std::ifstream in(dir_ / "installLog.log");
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    fs::path dir_;
    std::string saved_;
};

TEST_F(InstallLogTest, LinesCarryLocalTimeAndDebugLinesNeedTheSwitch) {
    InstallLog::SetDebug(false);
    InstallLog::Log(L"开始安装");
    InstallLog::DebugLog(L"hidden");
    InstallLog::SetDebug(true);
    InstallLog::DebugLog(L"shown");
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(testing::LogMessage(lines[0]), "开始安装") << lines[0];
    EXPECT_EQ(testing::LogMessage(lines[1]), "shown") << lines[1];
    EXPECT_EQ(testing::LogMessage("2026-1-01 10:00:00: x"), std::nullopt);
}

TEST_F(InstallLogTest, UnopenableFileDropsTheLine) {
    InstallLog::SetPath((dir_ / "missing" / "x.log").string());
    InstallLog::Log(L"lost");
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST(InstallLogDefault, StartsBelowTheSandboxRoot) {
    const char* old = std::getenv("ZUB_ROOT");
    const std::string saved = old ? old : "";
    setenv("ZUB_ROOT", "/sandbox/", 1);
    EXPECT_EQ(InstallLog::DefaultPath(), "/sandbox/tmp/zub.log");
    unsetenv("ZUB_ROOT");
    EXPECT_EQ(InstallLog::DefaultPath(), "/tmp/zub.log");
    if (old) setenv("ZUB_ROOT", saved.c_str(), 1);
}

}  // namespace
}  // namespace kitsetup
