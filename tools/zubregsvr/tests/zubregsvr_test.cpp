// zubregsvr run as people and the installer run it: exit status, output and
// the registry it leaves.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zub/platform/registry.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "zubtest/tempdir.h"

namespace {

namespace plat = zub::platform;

const std::wstring kCoDocKey = L"CLSID\\{A661C5D7-E874-42E0-A091-6406D0615E79}";

struct Outcome {
    int status = -1;
    std::string output;
};

class Zubregsvr : public ::testing::Test {
protected:
    void SetUp() override {
        // In memory where possible: every registry write is flushed to disk.
        std::string pattern = "/dev/shm/zubregsvr-registry-XXXXXX";
        if (mkdtemp(pattern.data())) {
            shm_ = pattern;
            dir_ = pattern;
        } else {
            registry_.emplace("zubregsvr-registry");
            dir_ = registry_->str();
        }
        if (const char* old = std::getenv("ZUB_REGISTRY_DIR")) old_ = old;
        setenv("ZUB_REGISTRY_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        if (!shm_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(shm_, ec);
        }
        if (old_)
            setenv("ZUB_REGISTRY_DIR", old_->c_str(), 1);
        else
            unsetenv("ZUB_REGISTRY_DIR");
    }
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
    static bool Registered() { return plat::RegKeyExists(plat::RootKey::ClassesRoot, kCoDocKey); }

    std::optional<zubtest::TempDir> registry_;
    std::string shm_;
    std::string dir_;
    std::optional<std::string> old_;
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

    Outcome missing = Run("'" + dir_ + "/no-such-module.so'");
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.output.find("cannot load"), std::string::npos);
    EXPECT_FALSE(Registered());
}

}  // namespace
