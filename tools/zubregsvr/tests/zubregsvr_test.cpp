// zubregsvr run as people and the installer run it: exit status, output and
// the registry it leaves.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zub/platform/registry.h>

#include <cstdio>
#include <string>

#include "zubregsvr_tests_paths.h"
#include "zubtest/sandbox.h"

namespace {

namespace pf = zub::platform;

const std::wstring kCoDocKey = L"CLSID\\{A661C5D7-E874-42E0-A091-6406D0615E79}";

struct Outcome {
    int status = -1;
    std::string output;
};

class Zubregsvr : public ::testing::Test {
protected:
    static Outcome Run(const std::string& args) {
        Outcome o;
        const std::string command = std::string("'") + ZUBREGSVR_BINARY + "' " + args + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return o;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) o.output += buffer;
        const int rc = pclose(pipe);
        o.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        return o;
    }
    static bool Registered() { return pf::RegKeyExists(pf::RootKey::ClassesRoot, kCoDocKey); }

    // In memory: every registry write is flushed to disk.
    zubtest::Sandbox box_{"zubregsvr", zubtest::TempDir::Medium::Memory};
};

TEST_F(Zubregsvr, RegistersAndUnregistersAServer) {
    const std::string module = std::string("'") + VAULTAUTO_MODULE + "'";
    Outcome reg = Run(module);
    EXPECT_EQ(reg.status, 0) << reg.output;
    EXPECT_NE(reg.output.find("DllRegisterServer"), std::string::npos);
    EXPECT_TRUE(Registered());

    Outcome unreg = Run("unregister " + module);
    EXPECT_EQ(unreg.status, 0) << unreg.output;
    EXPECT_FALSE(Registered());

    EXPECT_EQ(Run("register " + module).status, 0);
    EXPECT_TRUE(Registered());
    EXPECT_EQ(Run("-u " + module).status, 0);
    EXPECT_FALSE(Registered());
}

TEST_F(Zubregsvr, FailuresEndWithAStatusAndAReason) {
    Outcome none = Run("");
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.output.find("usage"), std::string::npos);

    Outcome missing = Run("'" + box_.path().string() + "/no-such-module.so'");
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.output.find("cannot load"), std::string::npos);
    EXPECT_FALSE(Registered());
}

}  // namespace
