#include "kitsetup/install_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "kit_sandbox.h"
#include "zubtest/scopedenv.h"
#include "zubtest/tempdir.h"

namespace zub::kitsetup {
namespace {

namespace fs = std::filesystem;

class InstallLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = InstallLog::Path();
        InstallLog::SetPath((dir_ / "installLog.log").string());
    }
    void TearDown() override {
        InstallLog::SetPath(saved_);
        InstallLog::SetDebug(false);
    }
    std::vector<std::string> Lines() const {
        std::ifstream in(dir_ / "installLog.log");
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    zub::testsupport::TempDir tmp_{"kitsetup-log"};
    const fs::path dir_ = tmp_.path();
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
    EXPECT_EQ(test::LogMessage(lines[0]), "开始安装") << lines[0];
    EXPECT_EQ(test::LogMessage(lines[1]), "shown") << lines[1];
    EXPECT_EQ(test::LogMessage("2026-1-01 10:00:00: x"), std::nullopt);
}

TEST_F(InstallLogTest, UnopenableFileDropsTheLine) {
    InstallLog::SetPath((dir_ / "missing" / "x.log").string());
    InstallLog::Log(L"lost");
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST(InstallLogDefault, StartsBelowTheSandboxRoot) {
    zub::testsupport::ScopedEnv env("ZUB_ROOT", "/sandbox/");
    EXPECT_EQ(InstallLog::DefaultPath(), "/sandbox/tmp/zub.log");
    env.Set("ZUB_ROOT", std::nullopt);
    EXPECT_EQ(InstallLog::DefaultPath(), "/tmp/zub.log");
}

}  // namespace
}  // namespace zub::kitsetup
