#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "proebridge4/proe_asyn_command.h"
#include "zub/platform/registry.h"
#include "zubcax_tests_paths.h"
#include "zubcaxapp.h"
#include "zubtest/languagerun.h"
#include "zubtest/sandbox.h"

namespace {
namespace fs = std::filesystem;
namespace pf = zub::platform;

class Zubcax : public ::testing::Test {
protected:
    Zubcax() { ZUBPROE4::ResetStandIn(); }
    ~Zubcax() override { ZUBPROE4::ResetStandIn(); }

    void Install(const std::wstring& version, const std::wstring& installDir) {
        pf::RegKey key;
        ASSERT_EQ(pf::RegCreateKey(pf::RootKey::LocalMachine,
                                   L"SOFTWARE\\PTC\\Pro/ENGINEER\\" + version + L"\\M010",
                                   pf::kKeyWrite, key),
                  pf::kErrorSuccess);
        ASSERT_EQ(pf::RegSetString(key, L"InstallDir", installDir), pf::kErrorSuccess);
    }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "zubcax");
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        out.str("");
        err.str("");
        return zub::zubcax::Run(static_cast<int>(argv.size()), argv.data(), out, err);
    }

    zub::testsupport::Sandbox box{"zubcax"};
    const fs::path dir = box.path();
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(Zubcax, NoArgumentsPrintsTheHelp) {
    EXPECT_EQ(Run({}), 2);
    for (const char* command : {"versions", "use", "refresh"})
        EXPECT_NE(out.str().find(command), std::string::npos) << out.str();
    EXPECT_EQ(err.str(), "");
}

TEST_F(Zubcax, VersionsMarksTheCurrentOne) {
    EXPECT_EQ(Run({"versions"}), 0);
    EXPECT_EQ(out.str(), "no Pro/ENGINEER version installed\n");
    Install(L"Wildfire 4.0", L"/opt/wf4");
    Install(L"Wildfire 5.0", L"/opt/wf5");
    EXPECT_EQ(Run({"versions"}), 0);
    EXPECT_EQ(out.str(), "  Wildfire 4.0  /opt/wf4\n* Wildfire 5.0  /opt/wf5\n");
}

TEST_F(Zubcax, UseChangesTheCurrentVersion) {
    Install(L"Wildfire 4.0", L"/opt/wf4");
    Install(L"Wildfire 5.0", L"/opt/wf5");
    EXPECT_EQ(Run({"use", "Wildfire 4.0"}), 0);
    EXPECT_EQ(out.str(), "current version: Wildfire 4.0\n");
    EXPECT_EQ(Run({"versions"}), 0);
    EXPECT_EQ(out.str(), "* Wildfire 4.0  /opt/wf4\n  Wildfire 5.0  /opt/wf5\n");
    EXPECT_EQ(Run({"use", "Wildfire 3.0"}), 1);
    EXPECT_EQ(err.str(), "zubcax: \"Wildfire 3.0\" is not an installed Pro/ENGINEER version\n");
    EXPECT_EQ(Run({"use"}), 2);
}

TEST_F(Zubcax, RefreshPrintsWhatWasCreated) {
    std::ofstream(dir / "m.prt") << "table bom\nrow id=1\tqty=2\nrow id=2\tqty=3\tCAXS_flag=1\n";
    const std::string db = (dir / "out.db").string();
    EXPECT_EQ(Run({"refresh", "bom,parts", db, "--model", (dir / "m.prt").string()}), 0)
        << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("version: Wildfire 4.0\n"), std::string::npos) << text;
    EXPECT_NE(
        text.find("CAXS_2_bom (id INTEGER, qty REAL, note TEXT, CAXS_flag INTEGER): 2 rows\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("CAXS_2_parts ("), std::string::npos) << text;
    EXPECT_NE(text.find("): 0 rows\n"), std::string::npos) << text;
}

TEST_F(Zubcax, AFailedRefreshKeepsTheFileItWouldReplace) {
    // A model file given where the database belongs, and no model open.
    std::ofstream(dir / "precious.prt") << "table bom\nrow id=1\n";
    EXPECT_EQ(Run({"refresh", "t", (dir / "precious.prt").string()}), 1);
    EXPECT_NE(err.str().find("the refresh failed"), std::string::npos) << err.str();
    std::ifstream in(dir / "precious.prt");
    std::stringstream kept;
    kept << in.rdbuf();
    EXPECT_EQ(kept.str(), "table bom\nrow id=1\n");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().find("precious") != std::string::npos)
            names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"precious.prt"}));
}

TEST_F(Zubcax, RefreshReportsTheFailingStep) {
    const std::string db = (dir / "out.db").string();
    EXPECT_EQ(Run({"refresh", "bom", db, "--model", (dir / "none.prt").string()}), 1);
    EXPECT_NE(err.str().find("opening the model failed: error 2: model file not found"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(Run({"refresh", "bom", db, "--version", "Wildfire 3.0"}), 1);
    EXPECT_NE(err.str().find("the refresh failed: error 18001"), std::string::npos) << err.str();
    EXPECT_EQ(Run({"refresh", "bom", db, "--version", "Wildfire 9.0"}), 1);
    EXPECT_EQ(err.str(),
              "zubcax: cannot connect: ZUBCAX::CaxConnector::Connect() error: no CAD bridge for "
              "the version \"Wildfire 9.0\"\n");
}

TEST_F(Zubcax, SpeaksTheUsersLanguage) {
    std::ofstream(dir / "m.prt") << "table bom\nrow id=1\tqty=2\nrow id=2\tqty=3\n";
    const std::string db = (dir / "out.db").string(), model = (dir / "m.prt").string(),
                      missing = (dir / "none.prt").string();
    const struct {
        std::vector<std::string> args;
        int status;
        std::string english;
        std::string chinese;
    } cases[] = {
        {{},
         2,
         "Subcommands:\n  versions                    list the installed versions",
         "子命令:\n  versions                    列出已安装的版本"},
        {{"refresh", "--help"},
         0,
         "  tables TEXT REQUIRED        comma-separated CAD table names\n",
         "  tables 文本 必需            以逗号分隔的 CAD 表名\n"},
        {{"versions"},
         0,
         "no Pro/ENGINEER version installed\n",
         "没有安装任何 Pro/ENGINEER 版本\n"},
        {{"use", "Wildfire 3.0"},
         1,
         "zubcax: \"Wildfire 3.0\" is not an installed Pro/ENGINEER version\n",
         "zubcax：“Wildfire 3.0”不是已安装的 Pro/ENGINEER 版本\n"},
        {{"use"}, 2, "version is required\n", "缺少 version\n"},
        {{"refresh", "bom", db, "--model", model},
         0,
         "version: Wildfire 4.0\n",
         "版本：Wildfire 4.0\n"},
        {{"refresh", "bom", db, "--model", model}, 0, "): 2 rows\n", ")：2 行\n"},
        {{"refresh", "bom", db, "--model", model},
         0,
         "bridge: proebridge4 stand-in; no launcher (Pro/ENGINEER not installed)\n",
         "proebridge4 替身；没有启动器（未安装 Pro/ENGINEER）\n"},
        {{"refresh", "bom", db, "--model", missing},
         1,
         "zubcax: opening the model failed: error 2: model file not found: " + missing + "\n",
         "zubcax：打开模型失败：错误 2：找不到模型文件：" + missing + "\n"},
        {{"refresh", "bom", db, "--version", "Wildfire 9.0"},
         1,
         "zubcax: cannot connect: ZUBCAX::CaxConnector::Connect() error: no CAD bridge for the "
         "version \"Wildfire 9.0\"\n",
         "zubcax：无法连接：ZUBCAX::CaxConnector::Connect() 错误：没有适用于版本“Wildfire 9.0”的 "
         "CAD 桥接组件\n"},
    };
    // What the connector and its bridge report in these runs is in the catalogs.
    EXPECT_EQ(zub::testsupport::NotInLibraryCatalog(
                  {"proebridge4 stand-in; no launcher (Pro/ENGINEER not installed)",
                   "model file not found: " + missing,
                   "ZUBCAX::CaxConnector::Connect() error: no CAD bridge for the version "
                   "\"Wildfire 9.0\""}),
              std::vector<std::string>{});
    for (zub::testsupport::Speaks language :
         {zub::testsupport::Speaks::English, zub::testsupport::Speaks::Chinese}) {
        const bool english = language == zub::testsupport::Speaks::English;
        for (const auto& c : cases) {
            SCOPED_TRACE((english ? "en:" : "zh:") + (c.args.empty() ? "" : " " + c.args[0]));
            const auto run = zub::testsupport::RunSpeaking(language, ZUBCAX_BINARY, c.args);
            const std::string shown = run.out + run.err;
            EXPECT_EQ(run.status, c.status) << shown;
            EXPECT_NE(shown.find(english ? c.english : c.chinese), std::string::npos) << shown;
            EXPECT_EQ(zub::testsupport::MixedLine(shown, language, {}), "");
        }
    }
}

}  // namespace
