#include "zubcomapp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "zub/com/types.h"
#include "zub/text.h"
#include "zubcom_tests_paths.h"
#include "zubtest/languagerun.h"
#include "zubtest/sandbox.h"

namespace {

class Zubcom : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        box_.emplace("zubcom-cli", zub::testsupport::TempDir::Medium::Memory);
        dir_ = box_->path().string();
        std::ostringstream out, err;
        ASSERT_EQ(zub::zubcom::Run({"register", ZUB_TEST_SERVER}, out, err), 0)
            << out.str() << err.str();
    }
    static void TearDownTestSuite() {
        std::ostringstream out, err;
        zub::zubcom::Run({"unregister", ZUB_TEST_SERVER}, out, err);
        box_.reset();
    }

    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        return zub::zubcom::Run(args, out_, err_);
    }
    int Script(const std::string& text) {
        std::string path = dir_ + "/script.txt";
        std::ofstream(path) << text;
        return Run({"run", path});
    }

    // One registration serves the whole suite.
    static inline std::optional<zub::testsupport::Sandbox> box_;
    static inline std::string dir_;
    std::ostringstream out_, err_;
};

TEST_F(Zubcom, CallPrintsResultAndStatus) {
    EXPECT_EQ(Run({"call", "ZubTest.ZubCalc", "Stamp", "#2024-01-31#"}), 0);
    EXPECT_EQ(out_.str(),
              "Stamp #2024-01-31# -> \"2024-01-31\" [0x00000000 The operation completed "
              "successfully.]\n");

    // Calls on one object, separated by a lone ';'.
    EXPECT_EQ(Run({"call", "ZubTest.ZubCalc.1", "Count", ";", "Concat", "a b", "", ";", "save"}),
              0);
    EXPECT_EQ(out_.str(),
              "Count -> 0 [0x00000000 The operation completed successfully.]\n"
              "Concat \"a b\" \"\" -> \"a b\" [0x00000000 The operation completed successfully.]\n"
              "save -> [0x00000000 The operation completed successfully.]\n");
}

TEST_F(Zubcom, FailuresShowTheirTexts) {
    const struct {
        std::vector<std::string> args;
        const char* line;
    } cases[] = {
        {{"call", "ZubTest.ZubCalc", "Fail", "7"},
         "Fail 7 -> [0x80040007 failed with 7 (ZubTest.ZubCalc.1)]\n"},
        {{"call", "ZubTest.ZubCalc", "Add", "1", "x"},
         "Add 1 x -> [0x80020005 Type mismatch. (argument 2)]\n"},
        {{"call", "ZubTest.ZubCalc", "Add", "1"},
         "Add 1 -> [0x8002000E Invalid number of parameters.]\n"},
        {{"call", "No.Such.Class", "x"}, "new No.Such.Class -> 0x800401F3 Invalid class string.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[2]);
        EXPECT_EQ(Run(c.args), 1);
        EXPECT_EQ(out_.str(), c.line);
    }
}

TEST_F(Zubcom, AStatusOtherThanZeroIsAFailure) {
    const struct {
        std::vector<std::string> args;
        int exit;
        const char* out;
    } cases[] = {
        // Add's long result is named ret: a status.
        {{"call", "ZubTest.ZubCalc", "Add", "49613", "0"},
         1,
         "Add 49613 0 -> 49613 [0x00000000 failed with status 49613]\n"},
        {{"call", "ZubTest.ZubCalc", "Add", "40", "-40"},
         0,
         "Add 40 -40 -> 0 [0x00000000 The operation completed successfully.]\n"},
        // A long result of another name, and a text named ret, are values.
        {{"call", "ZubTest.ZubCalc", "Concat", "7", "1"},
         0,
         "Concat 7 1 -> \"71\" [0x00000000 The operation completed successfully.]\n"},
        // A property get is no status either.
        {{"call", "ZubTest.ZubCalc", "Count"},
         0,
         "Count -> 0 [0x00000000 The operation completed successfully.]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[2]);
        EXPECT_EQ(Run(c.args), c.exit);
        EXPECT_EQ(out_.str(), c.out);
    }
    EXPECT_EQ(Script("a = new ZubTest.ZubCalc\nc = a.Names $a\nn = a.Add 2 0\nprint $c $n\n"), 1);
    EXPECT_EQ(out_.str(),
              "a.Names $a -> 1 [0x00000000 The operation completed successfully.]\n"
              "line 3: a.Add 2 0 -> 2 [0x00000000 failed with status 2]\n1 2\n");
}

TEST_F(Zubcom, AnUnknownMemberNamesItselfAndItsLine) {
    EXPECT_EQ(Script("a = new ZubTest.ZubCalc\n\na.Chekout /tmp\na.Count\n"), 1);
    EXPECT_EQ(err_.str(), "line 3: a.Chekout: unknown name\n");
    EXPECT_NE(out_.str().find("a.Count -> 0"), std::string::npos) << "later lines still run";
    EXPECT_EQ(Run({"call", "ZubTest.ZubCalc", "Nope"}), 1);
    EXPECT_EQ(err_.str(), "Nope: unknown name\n");
    EXPECT_EQ(Script("a = new ZubTest.ZubCalc\na.Nope = 1\n"), 1);
    EXPECT_EQ(err_.str(), "line 2: a.Nope: unknown name\n");
}

TEST_F(Zubcom, OptionsQuietAndStopOnError) {
    const std::string script = dir_ + "/options.txt";
    std::ofstream(script) << "a = new ZubTest.ZubCalc\n"
                             "a.Count = 5\n"
                             "a.Fail 3\n"
                             "n = a.Count\n"
                             "print $n\n";
    const struct {
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {{"--quiet", "run", script},
         "line 3: a.Fail 3 -> [0x80040003 failed with 3 (ZubTest.ZubCalc.1)]\n5\n"},
        {{"--stop-on-error", "run", script},
         "a.Count = 5 -> [0x00000000 The operation completed successfully.]\n"
         "line 3: a.Fail 3 -> [0x80040003 failed with 3 (ZubTest.ZubCalc.1)]\n"},
        {{"--quiet", "--stop-on-error", "call", "ZubTest.ZubCalc", "Count", ";", "Fail", "4", ";",
          "Count"},
         "Fail 4 -> [0x80040004 failed with 4 (ZubTest.ZubCalc.1)]\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        EXPECT_EQ(Run(c.args), 1);
        EXPECT_EQ(out_.str(), c.out);
    }
}

TEST_F(Zubcom, ScriptsKeepVariablesAndObjects) {
    EXPECT_EQ(Script("# a comment\n"
                     "a = new ZubTest.ZubCalc\n"
                     "b = new ZubTest.ZubCalc.1\n"
                     "a.name = \"bracket \\\"v2\\\"\"\n"
                     "b.Count = 5\n"
                     "n = a.Names $b\n"
                     "me = a.Self\n"
                     "me.name\n"
                     "a.When = #2023-03-15 12:00#\n"
                     "print $n a.When $me\n"
                     "a.Stamp #2023-03-15#\n"),
              0)
        << err_.str();
    EXPECT_EQ(
        out_.str(),
        "a.name = \"bracket \\\"v2\\\"\" -> [0x00000000 The operation completed successfully.]\n"
        "b.Count = 5 -> [0x00000000 The operation completed successfully.]\n"
        "a.Names $b -> 1 [0x00000000 The operation completed successfully.]\n"
        "a.Self -> (object) [0x00000000 The operation completed successfully.]\n"
        "me.name -> \"bracket \\\"v2\\\"\" [0x00000000 The operation completed successfully.]\n"
        "a.When = #2023-03-15 12:00# -> [0x00000000 The operation completed successfully.]\n"
        "1 \"a.When\" (object)\n"
        "a.Stamp #2023-03-15# -> \"2023-03-15\" [0x00000000 The operation completed "
        "successfully.]\n");
}

TEST_F(Zubcom, ScriptErrors) {
    EXPECT_EQ(Script("a = new ZubTest.ZubCalc\na.Fail 2\na.Count\n"), 1)
        << "runs on after a failure";
    EXPECT_NE(out_.str().find("a.Count -> 0 ["), std::string::npos);

    EXPECT_EQ(Script("a = new ZubTest.ZubCalc\na.name = \"open\n"), 2);
    EXPECT_EQ(err_.str(), "line 2: unterminated quoted text\n");
    EXPECT_EQ(Script("x.y\n"), 1);
    EXPECT_EQ(err_.str(), "line 1: x is not an object\n");
    EXPECT_EQ(Script("just words\n"), 2);
    EXPECT_EQ(err_.str(), "line 1: expected OBJECT.MEMBER\n");
    EXPECT_EQ(Run({"run", dir_ + "/missing.txt"}), 2);
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"frobnicate", "x"}), 2);
}

TEST_F(Zubcom, RegistersAModuleGivenByARelativeName) {
    // A copy in a folder of its own, off every library search path.
    std::filesystem::path copyDir = dir_ + "/mods";
    std::filesystem::create_directories(copyDir);
    std::filesystem::copy_file(ZUB_TEST_SERVER, copyDir / "libzubcalc.so");
    std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(copyDir);
    int rc = Run({"register", "libzubcalc.so"});
    std::filesystem::current_path(cwd);
    EXPECT_EQ(rc, 0) << out_.str();
    EXPECT_EQ(Script("x = new ZubTest.ZubCalc\nx.Add 1 -1\n"), 0) << out_.str() << err_.str();
    std::ostringstream out, err;
    EXPECT_EQ(zub::zubcom::Run({"register", ZUB_TEST_SERVER}, out, err), 0);
}

TEST_F(Zubcom, MembersListsTheTypeInformation) {
    EXPECT_EQ(Run({"members", "ZubTest.ZubCalc"}), 0);
    EXPECT_NE(out_.str().find("3\tmethod\tAdd(a, b) -> ret\n"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("1\tget\tname\n1\tput\tname = value\n"), std::string::npos);
    EXPECT_NE(out_.str().find("10\tmethod\tsave()\n"), std::string::npos);
}

TEST_F(Zubcom, SpeaksTheUsersLanguage) {
    const std::string script = dir_ + "/language.txt";
    std::ofstream(script) << "a = new ZubTest.ZubCalc\nprint $a empty\nprint $zz\n";
    const std::string syntax = dir_ + "/syntax.txt";
    std::ofstream(syntax) << "just words\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string english;
        std::string chinese;
    } cases[] = {
        {{"--help"}, 0, "Exit status: 0 when every call succeeded", "退出状态：所有调用都成功为 0"},
        {{}, 2, "usage: zubcom [OPTIONS] call", "用法：zubcom [选项] call"},
        {{"call", "ZubTest.ZubCalc", "Stamp", "#2024-01-31#"},
         0,
         "Stamp #2024-01-31# -> \"2024-01-31\" [0x00000000 The operation completed successfully.]",
         "Stamp #2024-01-31# -> \"2024-01-31\" [0x00000000 操作成功完成。]"},
        {{"call", "ZubTest.ZubCalc", "Add", "49613", "0"},
         1,
         "-> 49613 [0x00000000 failed with status 49613]",
         "-> 49613 [0x00000000 失败，状态为 49613]"},
        {{"call", "ZubTest.ZubCalc", "Add", "1", "x"},
         1,
         "Type mismatch. (argument 2)]",
         "类型不匹配。（第 2 个参数）]"},
        {{"call", "ZubTest.ZubCalc", "Nope"}, 1, "Nope: unknown name", "Nope：未知的成员名"},
        {{"run", script},
         2,
         "(object) (empty)\nline 3: unknown variable $zz",
         "（对象） （无值）\n第 3 行：未知的变量 $zz"},
        {{"run", syntax}, 2, "line 1: expected OBJECT.MEMBER", "第 1 行：应为 对象.成员"},
        {{"run", dir_ + "/missing.txt"}, 2, "cannot read", "无法读取"},
        {{"members", "ZubTest.ZubCalc"}, 0, "1\tput\tname = value", "1\t写入\tname = 值"},
    };
    // The COM runtime's texts these runs show are in the catalogs.
    EXPECT_EQ(zub::testsupport::NotInLibraryCatalog(
                  {zub::WideToUtf8(zub::com::HResultText(S_OK)),
                   zub::WideToUtf8(zub::com::HResultText(DISP_E_TYPEMISMATCH))}),
              std::vector<std::string>{});
    for (zub::testsupport::Speaks language :
         {zub::testsupport::Speaks::English, zub::testsupport::Speaks::Chinese}) {
        const bool english = language == zub::testsupport::Speaks::English;
        for (const auto& c : cases) {
            SCOPED_TRACE((english ? "en:" : "zh:") + (c.args.empty() ? "" : " " + c.args.back()));
            const auto run = zub::testsupport::RunSpeaking(language, ZUBCOM_BINARY, c.args);
            const std::string shown = run.out + run.err;
            EXPECT_EQ(run.status, c.status) << shown;
            EXPECT_NE(shown.find(english ? c.english : c.chinese), std::string::npos) << shown;
            EXPECT_EQ(zub::testsupport::MixedLine(shown, language, {}), "");
        }
    }
}

}  // namespace
