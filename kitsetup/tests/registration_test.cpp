// Registration of copied components: in process through DllRegisterServer
// with its time limit, and as assemblies through the regasm program.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "kit_sandbox.h"
#include "kitsetup/registry_helper.h"
#include "kitsetup_tests_paths.h"
#include "zub/text.h"

namespace zub::kitsetup::test {
namespace {

using namespace std::chrono_literals;

class Registration : public KitSandbox {
protected:
    static std::wstring W(const fs::path& p) { return zub::NarrowToWide(p.string()); }
};

TEST_F(Registration, InProcessRunsInTheInstallDirectory) {
    const fs::path lib = Dir() / "inst/lib.so";
    fs::create_directories(lib.parent_path());
    fs::copy_file(KITTEST_REGWRITE, lib);
    FileGroups fg;
    fg.installDir = W(Dir() / "inst");
    const fs::path before = fs::current_path();
    ASSERT_EQ(fg.RegisterInProcess(W(lib)), 0) << zub::WideToUtf8(fg.error.message);
    EXPECT_EQ(fs::current_path(), before);
    std::wstring path, cwd;
    const std::wstring key = L"software\\kittest\\regwrite";
    EXPECT_EQ(RegistryHelper::ReadString(kHkeyLocalMachine, key, L"path", path), 0);
    EXPECT_EQ(RegistryHelper::ReadString(kHkeyLocalMachine, key, L"cwd", cwd), 0);
    EXPECT_EQ(path, W(lib));
    EXPECT_EQ(cwd, W(fs::canonical(Dir() / "inst")));
    ASSERT_EQ(fg.UnregisterInProcess(W(lib)), 0);
    EXPECT_FALSE(RegistryHelper::KeyExists(kHkeyLocalMachine, L"software\\kittest"));
}

TEST_F(Registration, FailuresCarryTheirCodes) {
    WriteFile(Dir() / "notalib.so", "text");
    struct Case {
        fs::path file;
        int code;
        std::wstring message;
    } cases[] = {
        {Dir() / "missing.so", 111, L":file not exists or not a valid DLL file."},
        {Dir() / "notalib.so", 111, L":file not exists or not a valid DLL file."},
        {ZUB_SHARED_LIBRARY, 222, L":Registration failed in obtaining entry point."},
    };
    for (const auto& c : cases) {
        FileGroups fg;
        fg.installDir = W(Dir());
        EXPECT_EQ(fg.RegisterInProcess(W(c.file)), -1) << c.file;
        EXPECT_EQ(fg.error.code, c.code) << c.file;
        EXPECT_EQ(fg.error.message, c.message) << c.file;
    }
}

TEST_F(Registration, ARoutinePastTheLimitFailsWith444) {
    EXPECT_EQ(FileGroups::kRegisterTimeout, 10000ms);
    FileGroups fg;
    fg.installDir = W(Dir());
    fg.SetRegisterTimeout(200ms);
    const fs::path before = fs::current_path();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fg.RegisterInProcess(W(KITTEST_SLOWREG)), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(fg.error.code, 444);
    EXPECT_EQ(fg.error.message, L":Registration failed in signaled state or time-out.");
    EXPECT_EQ(fs::current_path(), before);
    // Let the routine, still running on its thread, end before the test does.
    void* handle = ::dlopen(KITTEST_SLOWREG, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto release = reinterpret_cast<void (*)()>(::dlsym(handle, "kittest_release"));
    auto running = reinterpret_cast<bool (*)()>(::dlsym(handle, "kittest_running"));
    ASSERT_TRUE(release && running);
    release();
    while (running()) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    ::dlclose(handle);
}

TEST_F(Registration, InstallRegistersCopiedFilesOnlyAndStopsAtTheFirstFailure) {
    const fs::path calls = Dir() / "regasm.txt";
    WriteProgram("regasm", "for a; do printf '[%s]' \"$a\"; done >> '" + calls.string() +
                               "'; echo >> '" + calls.string() + "'");
    fs::copy_file(KITTEST_REGWRITE, Payload() / "source/both.so");
    WriteSource("asm.dll", "x");
    WriteSource("kept.dll", "x");
    WriteFile(InstallDir() / "kept.dll", "already");
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='both,asm,kept'/></MODULES><FILEGROUPS>"
                  "<FILEGROUP name='both' target='0' files='both.so' reg='1' asmreg='1'/>"
                  "<FILEGROUP name='asm' target='0' files='asm.dll' asmreg='1'/>"
                  "<FILEGROUP name='kept' target='0' files='kept.dll' asmreg='1'/></FILEGROUPS>",
                  "debug='1'"));
    InstallerMgr mgr;
    Prepare(mgr, L"m");
    ASSERT_EQ(mgr.ExecInstall(), 0) << zub::WideToUtf8(mgr.LastError());
    const std::string dir = InstallDir().string();
    // regasm is started without waiting.
    for (int i = 0; i < 500 && ReadFile(calls).empty(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ReadFile(calls), "[" + dir + "/asm.dll][/codebase]\n");
    const std::string log = ReadFile(InstallDir() / "installLog.log");
    EXPECT_NE(log.find("注册文件: " + dir + "/both.so"), std::string::npos) << log;
    EXPECT_NE(log.find("注册文件(ASM): " + dir + "/asm.dll"), std::string::npos);
    EXPECT_NE(log.find("5.1 开始，注册组件 (regsvr32)，数目=1"), std::string::npos);
    EXPECT_NE(log.find("5.2 开始，注册程序集 (regasm)，数目=1"), std::string::npos);
    EXPECT_TRUE(RegistryHelper::KeyExists(kHkeyLocalMachine, L"software\\kittest\\regwrite"));

    // A component that cannot register stops the install before step 6.
    ASSERT_EQ(mgr.Uninstall(mgr.InstallPath), 0);
    WriteSource("bad.so", "not a library");
    WriteScript(
        ScriptXml("<MODULES><MODULE name='m' fgs='bad' afterInstall='never'/></MODULES><FILEGROUPS>"
                  "<FILEGROUP name='bad' target='0' files='bad.so' reg='1'/></FILEGROUPS>"
                  "<ACTIONS><ACTION name='never' progName='touch' progParas='%p/ran'/></ACTIONS>"));
    InstallerMgr bad;
    Prepare(bad, L"m");
    EXPECT_EQ(bad.ExecInstall(), -1);
    EXPECT_EQ(bad.LastErrorCode(), 111);
    EXPECT_FALSE(fs::exists(InstallDir() / "ran"));
    // The failed install was undone; its log went where the message points.
    EXPECT_FALSE(fs::exists(InstallDir() / "bad.so"));
    EXPECT_NE(ReadFile(zub::WideToNarrow(bad.LogPath()))
                  .find(dir + "/bad.so：文件不存在或不是有效的动态库文件。"),
              std::string::npos);
}

}  // namespace
}  // namespace zub::kitsetup::test
