#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "zub/platform/error.h"
#include "zub/platform/registry.h"
#include "zub/text.h"
#include "zubreg_tests_paths.h"
#include "zubregapp.h"
#include "zubtest/files.h"
#include "zubtest/languagerun.h"
#include "zubtest/sandbox.h"

namespace zub::zubreg {
namespace {

using zub::testsupport::Sandbox;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome Zubreg(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), "zubreg");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::istringstream in(input);
    std::ostringstream out, err;
    int status = RunZubreg(static_cast<int>(argv.size()), argv.data(), in, out, err);
    return {status, out.str(), err.str()};
}

TEST(ZubregCli, WriteReadListAndDelete) {
    Sandbox box;
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Step steps[] = {
        {{"write", "HKLM\\Software\\Co\\Prod", "appPath", "/opt/co"}, 0, ""},
        {{"write", "HKLM\\Software\\Co\\Prod", "@", "Product"}, 0, ""},
        {{"write", "HKLM\\Software\\Co\\Prod", "n", "0x1f", "-t", "REG_DWORD"}, 0, ""},
        {{"write", "HKLM\\Software\\Co\\Prod", "m", "a\\0b", "--type", "REG_MULTI_SZ"}, 0, ""},
        {{"write", "HKLM\\Software\\Co\\Prod", "b", "01,ff", "-t", "REG_BINARY"}, 0, ""},
        {{"write", "HKLM\\Software\\Co\\Prod\\Sub", "x", "1"}, 0, ""},
        {{"read", "HKEY_LOCAL_MACHINE\\software\\co\\prod", "APPPATH"}, 0, "/opt/co\n"},
        {{"query", "HKLM\\Software\\Co\\Prod"}, 0, "Product\n"},
        {{"read", "HKLM\\Software\\Co\\Prod", "n"}, 0, "0x1f\n"},
        {{"list", "HKLM\\Software\\Co\\Prod"},
         0,
         "HKEY_LOCAL_MACHINE\\Software\\Co\\Prod\n"
         "    appPath    REG_SZ    /opt/co\n"
         "    (Default)    REG_SZ    Product\n"
         "    n    REG_DWORD    0x1f\n"
         "    m    REG_MULTI_SZ    a\\0b\n"
         "    b    REG_BINARY    01ff\n"
         "\n"
         "HKEY_LOCAL_MACHINE\\Software\\Co\\Prod\\Sub\n"},
        {{"list", "HKLM\\Software\\Co", "-r"},
         0,
         "HKEY_LOCAL_MACHINE\\Software\\Co\n\n"
         "HKEY_LOCAL_MACHINE\\Software\\Co\\Prod\n"
         "    appPath    REG_SZ    /opt/co\n"
         "    (Default)    REG_SZ    Product\n"
         "    n    REG_DWORD    0x1f\n"
         "    m    REG_MULTI_SZ    a\\0b\n"
         "    b    REG_BINARY    01ff\n"
         "\n"
         "HKEY_LOCAL_MACHINE\\Software\\Co\\Prod\\Sub\n"
         "    x    REG_SZ    1\n\n"},
        {{"delete", "HKLM\\Software\\Co\\Prod", "--value", "n"}, 0, ""},
        {{"read", "HKLM\\Software\\Co\\Prod", "n"}, 1, ""},
        {{"delete", "HKLM\\Software\\Co"}, 0, ""},
        {{"read", "HKLM\\Software\\Co\\Prod", "appPath"}, 1, ""},
    };
    for (const auto& s : steps) {
        Outcome r = Zubreg(s.args);
        std::string cmd;
        for (const auto& a : s.args) cmd += a + " ";
        EXPECT_EQ(r.status, s.status) << cmd << r.err;
        EXPECT_EQ(r.out, s.out) << cmd;
    }
}

TEST(ZubregCli, FailuresNameTheErrorAndItsNumber) {
    Sandbox box;
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"read", "HKLM\\Software\\Nothing", "v"},
         1,
         "The system cannot find the file specified. (2)"},
        {{"list", "HKXX\\Software"}, 1, "(2)"},
        {{"write", "HKCU\\A", "v", "12x", "-t", "REG_DWORD"}, 1, "(87)"},
        {{"write", "HKCU\\A", "v", "4294967296", "-t", "REG_DWORD"}, 1, "(87)"},
        {{"write", "HKCU\\A", "v", "1", "-t", "REG_WHATEVER"}, 1, "unknown type"},
        {{"delete", "HKLM"}, 1, "(5)"},
        {{"import", (box.path() / "missing.reg").string()}, 1, "(2)"},
        {{"frobnicate"}, 2, ""},
        {{"read"}, 2, ""},
    };
    for (const auto& c : cases) {
        Outcome r = Zubreg(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

TEST(ZubregCli, ExportAndImportFilesRoundTrip) {
    Sandbox box;
    ASSERT_EQ(
        Zubreg({"write", "HKCU\\Software\\Cad\\CaxVer", "Pro/Engineer", "Wildfire 4.0"}).status, 0);
    ASSERT_EQ(Zubreg({"write", "HKCU\\Software\\Cad", "flags", "7", "-t", "REG_DWORD"}).status, 0);
    const std::string file = (box.path() / "cad.reg").string();
    ASSERT_EQ(Zubreg({"export", "HKCU\\Software\\Cad", file}).status, 0);
    Outcome toOut = Zubreg({"export", "HKCU\\Software\\Cad"});
    EXPECT_EQ(toOut.out, zub::testsupport::ReadFile(file));
    EXPECT_NE(toOut.out.find("\"Pro/Engineer\"=\"Wildfire 4.0\""), std::string::npos);

    ASSERT_EQ(Zubreg({"delete", "HKCU\\Software\\Cad"}).status, 0);
    EXPECT_EQ(Zubreg({"read", "HKCU\\Software\\Cad\\CaxVer", "Pro/Engineer"}).status, 1);
    Outcome imported = Zubreg({"import", file});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(Zubreg({"read", "HKCU\\Software\\Cad\\CaxVer", "Pro/Engineer"}).out,
              "Wildfire 4.0\n");
    EXPECT_EQ(Zubreg({"export", "HKCU\\Software\\Cad"}).out, toOut.out);

    // "-" is the input the caller gave, not the process's.
    ASSERT_EQ(Zubreg({"delete", "HKCU\\Software\\Cad"}).status, 0);
    Outcome piped = Zubreg({"import", "-"}, toOut.out);
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(Zubreg({"export", "HKCU\\Software\\Cad"}).out, toOut.out);

    zub::testsupport::WriteFile(box.path() / "bad.reg",
                                "Windows Registry Editor Version 5.00\n\n[HKCU\\X]\n\"v\"=oops\n");
    Outcome bad = Zubreg({"import", (box.path() / "bad.reg").string()});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("bad.reg:4:"), std::string::npos) << bad.err;
}

TEST(ZubregCli, SpeaksTheUsersLanguage) {
    Sandbox box;
    ASSERT_EQ(Zubreg({"write", "HKCU\\Lang", "@", "x"}).status, 0);
    const std::string badReg = "Windows Registry Editor Version 5.00\n[HKCU\\X]\n\"v\"=oops\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string english;
        std::string chinese;
        std::string input = "";
    } cases[] = {
        {{"--help"},
         0,
         "Subcommands:\n  list                        show a key's values and subkeys\n",
         "子命令:\n  list                        显示一个项的值和子项\n"},
        // Descriptions line up on the screen, whatever the bytes of the labels.
        {{"write", "--help"},
         0,
         "Positionals:\n  key TEXT REQUIRED           registry key, as",
         "位置参数:\n  key 文本 必需               注册表项，例如"},
        {{},
         2,
         "A subcommand is required\nRun with --help for more information.\n",
         "需要一个子命令\n使用 --help 查看更多信息。\n"},
        {{"read"}, 2, "key is required\n", "缺少 key\n"},
        {{"read", "HKCU\\Lang", "@", "extra"},
         2,
         "The following argument was not expected: extra\n",
         "多余的参数：extra\n"},
        {{"list", "HKCU\\Lang"},
         0,
         "    (Default)    REG_SZ    x\n",
         "    （默认）    REG_SZ    x\n"},
        {{"write", "HKCU\\A", "v", "12x", "-t", "REG_DWORD"},
         1,
         "zubreg: not a number for REG_DWORD: 12x: The parameter is incorrect. (87)\n",
         "zubreg：REG_DWORD 需要数字：12x：参数错误。（87）\n"},
        {{"read", "HKLM\\Nothing", "v"},
         1,
         "The system cannot find the file specified. (2)\n",
         "系统找不到指定的文件。（2）\n"},
        {{"delete", "HKLM"},
         1,
         "a root key cannot be deleted: Access is denied.",
         "根项不能删除：拒绝访问。"},
        {{"import", "-"},
         1,
         "zubreg: -:3: unknown value data: The data is invalid. (13)\n",
         "zubreg：-:3: 未知的值数据：数据无效。（13）\n",
         badReg},
    };
    // The platform's texts these runs show are in the catalogs.
    std::vector<std::string> platform;
    for (platform::Error e : {platform::kErrorFileNotFound, platform::kErrorAccessDenied,
                              platform::kErrorInvalidData, platform::kErrorInvalidParameter})
        platform.push_back(WideToUtf8(platform::ErrorText(e)));
    EXPECT_EQ(zub::testsupport::NotInLibraryCatalog(platform), std::vector<std::string>{});
    for (zub::testsupport::Speaks language :
         {zub::testsupport::Speaks::English, zub::testsupport::Speaks::Chinese}) {
        const bool english = language == zub::testsupport::Speaks::English;
        for (const auto& c : cases) {
            SCOPED_TRACE((english ? "en:" : "zh:") + (c.args.empty() ? "" : " " + c.args[0]));
            const auto run =
                zub::testsupport::RunSpeaking(language, ZUBREG_BINARY, c.args, c.input);
            const std::string shown = run.out + run.err;
            EXPECT_EQ(run.status, c.status) << shown;
            EXPECT_NE(shown.find(english ? c.english : c.chinese), std::string::npos) << shown;
            EXPECT_EQ(zub::testsupport::MixedLine(shown, language, {}), "");
        }
    }
}

}  // namespace
}  // namespace zub::zubreg
