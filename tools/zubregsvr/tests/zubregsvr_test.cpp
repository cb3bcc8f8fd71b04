// zubregsvr run as people and the installer run it: exit status, output and
// the registry it leaves.
#include <gtest/gtest.h>
#include <zub/com/types.h>
#include <zub/platform/error.h>
#include <zub/platform/registry.h>
#include <zub/text.h>

#include <string>
#include <vector>

#include "zubregsvr_tests_paths.h"
#include "zubtest/languagerun.h"
#include "zubtest/sandbox.h"

namespace {

namespace pf = zub::platform;
using zub::testsupport::Speaks;

const std::wstring kCoDocKey = L"CLSID\\{A661C5D7-E874-42E0-A091-6406D0615E79}";

class Zubregsvr : public ::testing::Test {
protected:
    // Output and errors as one text, the way a terminal shows them.
    static zub::testsupport::ProgramRun Run(std::vector<std::string> args,
                                            Speaks language = Speaks::English) {
        zub::testsupport::ProgramRun run =
            zub::testsupport::RunSpeaking(language, ZUBREGSVR_BINARY, args);
        run.out += run.err;
        return run;
    }
    static bool Registered() { return pf::RegKeyExists(pf::RootKey::ClassesRoot, kCoDocKey); }

    // In memory: every registry write is flushed to disk.
    zub::testsupport::Sandbox box_{"zubregsvr", zub::testsupport::TempDir::Medium::Memory};
};

TEST_F(Zubregsvr, RegistersAndUnregistersAServer) {
    auto reg = Run({VAULTAUTO_MODULE});
    EXPECT_EQ(reg.status, 0) << reg.out;
    EXPECT_NE(reg.out.find("DllRegisterServer"), std::string::npos);
    EXPECT_TRUE(Registered());

    auto unreg = Run({"unregister", VAULTAUTO_MODULE});
    EXPECT_EQ(unreg.status, 0) << unreg.out;
    EXPECT_FALSE(Registered());

    EXPECT_EQ(Run({"register", VAULTAUTO_MODULE}).status, 0);
    EXPECT_TRUE(Registered());
    EXPECT_EQ(Run({"-u", VAULTAUTO_MODULE}).status, 0);
    EXPECT_FALSE(Registered());
}

TEST_F(Zubregsvr, FailuresEndWithAStatusAndAReason) {
    auto none = Run({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.out.find("usage"), std::string::npos);

    auto missing = Run({box_.path().string() + "/no-such-module.so"});
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.out.find("cannot load"), std::string::npos);
    EXPECT_FALSE(Registered());
}

TEST_F(Zubregsvr, SpeaksTheUsersLanguage) {
    const std::string missing = box_.path().string() + "/no-such-module.so";
    const std::string notFound = zub::WideToUtf8(pf::ErrorText(pf::kErrorModNotFound));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string english;
        std::string chinese;
    } cases[] = {
        {{"--help"}, 0, "usage: zubregsvr", "用法：zubregsvr"},
        {{}, 2, "Calls DllRegisterServer (default)", "调用每个模块的 DllRegisterServer（默认）"},
        {{missing},
         3,
         "cannot load " + missing + ": " + notFound + " (error 126)",
         "无法加载 " + missing + "：找不到指定的模块。（错误 126）"},
        {{ZUB_SHARED_MODULE}, 4, "has no DllRegisterServer", "没有导出 DllRegisterServer"},
        {{VAULTAUTO_MODULE}, 0, "DllRegisterServer of", "的 DllRegisterServer 已成功。"},
        {{"-u", VAULTAUTO_MODULE}, 0, "DllUnregisterServer of", "的 DllUnregisterServer 已成功。"},
    };
    // The platform's texts these runs show are in the catalogs.
    EXPECT_EQ(zub::testsupport::NotInLibraryCatalog({notFound}), std::vector<std::string>{});
    for (Speaks language : {Speaks::English, Speaks::Chinese}) {
        const bool english = language == Speaks::English;
        for (const auto& c : cases) {
            SCOPED_TRACE((english ? "en: " : "zh: ") + (c.args.empty() ? "" : c.args.back()));
            const auto run = Run(c.args, language);
            EXPECT_EQ(run.status, c.status);
            EXPECT_NE(run.out.find(english ? c.english : c.chinese), std::string::npos) << run.out;
            EXPECT_EQ(zub::testsupport::MixedLine(run.out, language, {}), "");
        }
    }
    // The error's number stays visible in Chinese too.
    EXPECT_NE(Run({missing}, Speaks::Chinese).out.find("（错误 126）"), std::string::npos);
}

}  // namespace
