#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "zub/platform/environment.h"
#include "zub/platform/error.h"
#include "zub/platform/privilege.h"
#include "zub/platform/process.h"
#include "zub/platform/registry.h"
#include "zub/platform/services.h"
#include "zub/platform/shelllink.h"
#include "zub/text.h"
#include "zubtest/files.h"
#include "zubtest/sandbox.h"

namespace zub::platform {
namespace {

namespace fs = std::filesystem;
using zub::testsupport::Sandbox;

std::wstring W(const fs::path& p) { return Utf8ToWide(p.string()); }

void WriteScript(const fs::path& path, const std::string& body) {
    zub::testsupport::WriteFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
}

class Shell : public ::testing::Test {
protected:
    Shell() {
        bin = box.path() / "bin";
        fs::create_directories(bin);
        box.SetEnv("PATH", bin.string() + ":/usr/bin:/bin");
    }
    Sandbox box;
    fs::path bin;
};

TEST_F(Shell, StartsProgramsWithArgumentsDirectoryAndExitCode) {
    WriteScript(bin / "zubtool",
                "pwd > out.txt; for a in \"$@\"; do echo \"[$a]\" >> out.txt; done; exit 7");
    fs::create_directories(box.path() / "work dir");
    ShellExecuteInfo info;
    info.file = L"zubtool";
    info.parameters = L"plain \"with blanks\" a\\\"q";
    info.directory = W(box.path() / "work dir");
    Process p;
    ASSERT_EQ(ShellExecute(info, p), kErrorSuccess);
    ASSERT_TRUE(p.IsValid());
    ASSERT_EQ(p.Wait(kInfinite), kErrorSuccess);
    std::uint32_t code = 0;
    ASSERT_EQ(p.GetExitCode(code), kErrorSuccess);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(zub::testsupport::ReadFile(box.path() / "work dir/out.txt"),
              (box.path() / "work dir").string() + "\n[plain]\n[with blanks]\n[a\"q]\n");
    // Waiting again on an ended process returns at once.
    EXPECT_EQ(p.Wait(0), kErrorSuccess);
}

TEST_F(Shell, WaitsWithAndWithoutALimit) {
    ShellExecuteInfo info;
    info.file = L"/bin/sleep";
    info.parameters = L"5";
    Process p;
    ASSERT_EQ(ShellExecute(info, p), kErrorSuccess);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(p.Wait(100), kErrorWaitTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    std::uint32_t code = 0;
    ASSERT_EQ(p.GetExitCode(code), kErrorSuccess);
    EXPECT_EQ(code, kStillActive);
    ASSERT_EQ(kill(p.Pid(), SIGKILL), 0);
    EXPECT_EQ(p.Wait(kInfinite), kErrorSuccess);
    ASSERT_EQ(p.GetExitCode(code), kErrorSuccess);
    EXPECT_EQ(code, 128u + SIGKILL);

    info.file = L"/bin/true";
    info.parameters.clear();
    ASSERT_EQ(ShellExecute(info, p), kErrorSuccess);
    EXPECT_EQ(p.Wait(10000), kErrorSuccess);
    ASSERT_EQ(p.GetExitCode(code), kErrorSuccess);
    EXPECT_EQ(code, 0u);

    Process none;
    EXPECT_EQ(none.Wait(0), kErrorInvalidHandle);
    EXPECT_EQ(none.GetExitCode(code), kErrorInvalidHandle);
}

TEST_F(Shell, FailedStartsReportTheirErrorNumbers) {
    zub::testsupport::WriteFile(bin / "garbage", "\x01\x02 not a program");
    chmod((bin / "garbage").c_str(), 0755);
    struct Case {
        std::wstring file;
        std::wstring verb;
        std::wstring directory;
        Error expected;
    };
    const Case cases[] = {
        {L"no-such-program-zub", L"open", L"", kErrorFileNotFound},
        {W(box.path() / "missing/tool"), L"open", L"", kErrorPathNotFound},
        {W(box.path() / "missing.exe"), L"", L"", kErrorFileNotFound},
        {L"garbage", L"open", L"", kErrorBadExeFormat},
        {L"/bin/true", L"print", L"", kErrorNoAssociation},
        {L"/bin/true", L"open", W(box.path() / "nowhere"), kErrorPathNotFound},
        {L"", L"open", L"", kErrorFileNotFound},
    };
    for (const auto& c : cases) {
        ShellExecuteInfo info;
        info.file = c.file;
        info.verb = c.verb;
        info.directory = c.directory;
        Process p;
        EXPECT_EQ(ShellExecute(info, p), c.expected) << WideToUtf8(c.file);
        EXPECT_FALSE(p.IsValid());
        EXPECT_EQ(LastError(), c.expected);
    }
}

TEST_F(Shell, DocumentsOpenThroughXdgOpen) {
    zub::testsupport::WriteFile(box.path() / "docs/readme.txt", "hello");
    ShellExecuteInfo info;
    info.file = L"readme.txt";
    info.directory = W(box.path() / "docs");
    Process p;
    EXPECT_EQ(ShellExecute(info, p), kErrorNoAssociation);

    WriteScript(bin / "xdg-open", "echo \"$1\" > \"" + (box.path() / "opened").string() + "\"");
    ASSERT_EQ(ShellExecute(info, p), kErrorSuccess);
    ASSERT_EQ(p.Wait(kInfinite), kErrorSuccess);
    EXPECT_EQ(zub::testsupport::ReadFile(box.path() / "opened"),
              (box.path() / "docs/readme.txt").string() + "\n");
}

TEST_F(Shell, ProgramsAreFoundThroughPath) {
    WriteScript(bin / "zubfind", "true");
    zub::testsupport::WriteFile(bin / "notexec", "x");
    struct Case {
        std::wstring name;
        Error expected;
        std::string path;
    };
    const Case cases[] = {
        {L"zubfind", kErrorSuccess, (bin / "zubfind").string()},
        {L"sh", kErrorSuccess, ""},
        {L"notexec", kErrorFileNotFound, ""},
        {L"no-such-program-zub", kErrorFileNotFound, ""},
        {W(bin / "zubfind"), kErrorSuccess, (bin / "zubfind").string()},
        {W(bin / "notexec"), kErrorFileNotFound, ""},
    };
    for (const auto& c : cases) {
        std::wstring found;
        EXPECT_EQ(FindProgramInPath(c.name, found), c.expected) << WideToUtf8(c.name);
        if (!c.path.empty()) {
            EXPECT_EQ(WideToUtf8(found), c.path);
        }
    }
}

TEST(CommandLine, SplitsAsWindowsDoes) {
    struct Case {
        std::wstring text;
        std::vector<std::wstring> args;
    };
    const Case cases[] = {
        {L"", {}},
        {L"  a   b\tc ", {L"a", L"b", L"c"}},
        {L"\"/opt/my app\" /codebase", {L"/opt/my app", L"/codebase"}},
        {L"a\\\\b", {L"a\\\\b"}},
        {L"a\\\"b", {L"a\"b"}},
        {L"\"a\\\\\" b", {L"a\\", L"b"}},
        {L"\"\"", {L""}},
        {L"\"say \"\"hi\"\"\"", {L"say \"hi\""}},
        {L"x\"y z\"w", {L"xy zw"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCommandLine(c.text), c.args) << WideToUtf8(c.text);
    }
}

TEST_F(Shell, LinksAreDesktopEntriesThatReadBack) {
    ShellLink link;
    link.target = L"/opt/zub/bin/vault tool";
    link.arguments = L"--store \"/srv/my store\" 100%";
    link.description = L"Vault \u4e2d\u6587";
    link.hotKey = 0x0641;
    link.iconPath = L"/opt/zub/vault.png";
    link.iconIndex = 2;
    link.workingDirectory = L"/opt/zub";
    link.terminal = true;
    fs::path file = box.path() / "menu/Vault.lnk";
    EXPECT_EQ(WriteShellLink(link, W(file)), kErrorPathNotFound);
    fs::create_directories(file.parent_path());
    ASSERT_EQ(WriteShellLink(link, W(file)), kErrorSuccess);

    std::string content = zub::testsupport::ReadFile(file);
    for (const char* line :
         {"[Desktop Entry]\n", "Type=Application\n", "Name=Vault\n",
          "Comment=Vault \xe4\xb8\xad\xe6\x96\x87\n",
          "Exec=\"/opt/zub/bin/vault tool\" --store \"/srv/my store\" 100%%\n", "Path=/opt/zub\n",
          "Icon=/opt/zub/vault.png\n", "# HotKey=0x0641\n", "Terminal=true\n"}) {
        EXPECT_NE(content.find(line), std::string::npos) << line << "in\n" << content;
    }
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0111u);

    ShellLink back;
    ASSERT_EQ(ReadShellLink(W(file), back), kErrorSuccess);
    EXPECT_EQ(back, link);

    // The menus' links: no arguments, description, hot key or icon.
    ShellLink plain;
    plain.target = L"/opt/zub/bin/kit";
    plain.workingDirectory = L"/opt/zub";
    ASSERT_EQ(WriteShellLink(plain, W(file)), kErrorSuccess);
    ASSERT_EQ(ReadShellLink(W(file), back), kErrorSuccess);
    EXPECT_EQ(back, plain);
    EXPECT_EQ(zub::testsupport::ReadFile(file).find("Comment="), std::string::npos);
    EXPECT_EQ(zub::testsupport::ReadFile(file).find("Terminal="), std::string::npos);
}

TEST_F(Shell, ForeignDesktopEntriesAndOtherFiles) {
    zub::testsupport::WriteFile(
        box.path() / "app.desktop",
        "[Desktop Entry]\nType=Application\nName=App\nExec=\"/usr/bin/my app\" --x %%y\n"
        "Path=/tmp\n[Desktop Action New]\nExec=other\n");
    ShellLink link;
    ASSERT_EQ(ReadShellLink(W(box.path() / "app.desktop"), link), kErrorSuccess);
    EXPECT_EQ(link.target, L"/usr/bin/my app");
    EXPECT_EQ(link.arguments, L"--x %y");
    EXPECT_EQ(link.workingDirectory, L"/tmp");
    zub::testsupport::WriteFile(box.path() / "notes.txt", "hello\n");
    EXPECT_EQ(ReadShellLink(W(box.path() / "notes.txt"), link), kErrorInvalidData);
    EXPECT_EQ(ReadShellLink(W(box.path() / "none.lnk"), link), kErrorFileNotFound);
}

TEST_F(Shell, ServicesAreUnitsOrInitScriptsBelowTheRoot) {
    zub::testsupport::WriteFile(box.root() / "lib/systemd/system/zubd.service",
                                "[Service]\nExecStart=/bin/true\n");
    zub::testsupport::WriteFile(box.root() / "etc/systemd/system/Spooler.service", "[Service]\n");
    WriteScript(box.root() / "etc/init.d/legacyd", "exit 0");
    struct Case {
        const wchar_t* name;
        const char* privileged;
        std::uint32_t access;
        Error expected;
        const wchar_t* key;
    };
    const Case cases[] = {
        {L"zubd", "1", kServiceAllAccess, kErrorSuccess, L"zubd"},
        {L"zubd.service", "1", kServiceAllAccess, kErrorSuccess, L"zubd.service"},
        {L"spooler", "1", kServiceAllAccess, kErrorSuccess, L"Spooler"},
        {L"legacyd", "1", kServiceAllAccess, kErrorSuccess, L"legacyd"},
        {L"missing", "1", kServiceAllAccess, kErrorServiceDoesNotExist, L""},
        {L"../zubd", "1", kServiceAllAccess, kErrorInvalidName, L""},
        {L"zubd", "0", kServiceQueryStatus, kErrorSuccess, L"zubd"},
        {L"zubd", "0", kServiceAllAccess, kErrorAccessDenied, L""},
        {L"missing", "0", kServiceQueryStatus, kErrorServiceDoesNotExist, L""},
    };
    for (const auto& c : cases) {
        box.SetEnv("ZUB_PRIVILEGED", c.privileged);
        ServiceManager scm;
        ASSERT_EQ(OpenServiceManager(kScManagerConnect, scm), kErrorSuccess);
        Service service;
        EXPECT_EQ(OpenService(scm, c.name, c.access, service), c.expected)
            << WideToUtf8(c.name) << c.privileged;
        EXPECT_EQ(service.Name(), c.key);
    }
    // The manager itself with all access needs privilege.
    ServiceManager scm;
    box.SetEnv("ZUB_PRIVILEGED", "0");
    EXPECT_EQ(OpenServiceManager(kScManagerAllAccess, scm), kErrorAccessDenied);
    EXPECT_FALSE(scm.IsOpen());
    Service service;
    EXPECT_EQ(OpenService(scm, L"zubd", kServiceQueryStatus, service), kErrorInvalidHandle);
    box.SetEnv("ZUB_PRIVILEGED", "1");
    EXPECT_EQ(OpenServiceManager(kScManagerAllAccess, scm), kErrorSuccess);
    // Outside the sandbox's root the unit is not seen.
    box.SetEnv("ZUB_ROOT", (box.path() / "elsewhere").string());
    EXPECT_EQ(OpenService(scm, L"zubd", kServiceQueryStatus, service), kErrorServiceDoesNotExist);
}

TEST_F(Shell, RebootOnlyWhenPrivilegedAndNeverForReal) {
    int calls = 0;
    auto previous = SetRebootHandler([&calls] {
        ++calls;
        return kErrorSuccess;
    });
    box.SetEnv("ZUB_PRIVILEGED", "0");
    EXPECT_FALSE(IsProcessPrivileged());
    EXPECT_EQ(EnableShutdownPrivilege(), kErrorNotAllAssigned);
    EXPECT_EQ(RequestReboot(), kErrorPrivilegeNotHeld);
    EXPECT_EQ(calls, 0);
    box.SetEnv("ZUB_PRIVILEGED", "1");
    EXPECT_TRUE(IsProcessPrivileged());
    EXPECT_EQ(EnableShutdownPrivilege(), kErrorSuccess);
    EXPECT_EQ(RequestReboot(), kErrorSuccess);
    EXPECT_EQ(calls, 1);

    // The default handler in a sandbox only leaves a mark.
    SetRebootHandler(nullptr);
    EXPECT_EQ(RequestReboot(), kErrorSuccess);
    EXPECT_TRUE(fs::exists(box.root() / "tmp/reboot-requested"));
    SetRebootHandler(previous);
}

TEST_F(Shell, UserEnvironmentVariablesPersist) {
    const std::wstring name = L"PRO_COMM_MSG_EXE";
    const std::wstring value = L"/opt/ptc/Wildfire 4.0/i486_nt/obj/pro_comm_msg.exe";
    std::wstring read;
    EXPECT_EQ(GetUserEnvironmentVariable(name, read), kErrorEnvvarNotFound);
    ASSERT_EQ(SetUserEnvironmentVariable(name, value), kErrorSuccess);
    ASSERT_EQ(SetUserEnvironmentVariable(L"QUOTED", L"it's"), kErrorSuccess);
    ASSERT_EQ(GetUserEnvironmentVariable(name, read), kErrorSuccess);
    EXPECT_EQ(read, value);
    ASSERT_EQ(GetEnvironmentVariable(name, read), kErrorSuccess);
    EXPECT_EQ(read, value);
    box.SetEnv("PRO_COMM_MSG_EXE", std::nullopt);
    box.SetEnv("QUOTED", std::nullopt);

    // Where a later process finds it: the registry and environment.d.
    RegKey key;
    ASSERT_EQ(RegOpenKey(RootKey::CurrentUser, L"Environment", kKeyRead, key), kErrorSuccess);
    std::wstring stored;
    ASSERT_EQ(RegGetString(key, name, stored), kErrorSuccess);
    EXPECT_EQ(stored, value);
    std::string conf = zub::testsupport::ReadFile(
        box.root() / (box.path() / "home/.config/environment.d/50-zub.conf").relative_path());
    EXPECT_NE(conf.find("PRO_COMM_MSG_EXE='/opt/ptc/Wildfire 4.0/i486_nt/obj/pro_comm_msg.exe'\n"),
              std::string::npos)
        << conf;
    EXPECT_NE(conf.find("QUOTED='it'\"'\"'s'\n"), std::string::npos) << conf;

    ASSERT_EQ(SetUserEnvironmentVariable(name, L""), kErrorSuccess);
    EXPECT_EQ(GetUserEnvironmentVariable(name, read), kErrorEnvvarNotFound);
    EXPECT_EQ(GetEnvironmentVariable(name, read), kErrorEnvvarNotFound);
    for (const wchar_t* bad : {L"", L"A=B", L"A\nB"}) {
        EXPECT_EQ(SetUserEnvironmentVariable(bad, L"x"), kErrorInvalidParameter);
    }
    EXPECT_EQ(SetUserEnvironmentVariable(L"A", L"two\nlines"), kErrorInvalidParameter);
}

TEST(Errors, TextsForTheNumbersTheCallersCheck) {
    struct Case {
        Error number;
        const wchar_t* text;
    };
    const Case cases[] = {
        {kErrorSuccess, L"The operation completed successfully."},
        {kErrorFileNotFound, L"The system cannot find the file specified."},
        {kErrorPathNotFound, L"The system cannot find the path specified."},
        {kErrorAccessDenied, L"Access is denied."},
        {kErrorFileExists, L"The file exists."},
        {kErrorAlreadyExists, L"Cannot create a file when that file already exists."},
        {kErrorCancelled, L"The operation was canceled by the user."},
        {kErrorNoMoreItems, L"No more data is available."},
        {99999, L"Unknown error 99999."},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorText(c.number), c.text) << c.number;
    SetLastError(kErrorMoreData);
    EXPECT_EQ(LastError(), kErrorMoreData);
    Error other = 0;
    std::thread([&other] { other = LastError(); }).join();
    EXPECT_EQ(other, kErrorSuccess);
    EXPECT_EQ(ErrorFromErrno(ENOENT), kErrorFileNotFound);
    EXPECT_EQ(ErrorFromErrno(EACCES), kErrorAccessDenied);
    EXPECT_EQ(ErrorFromErrno(EEXIST), kErrorAlreadyExists);
}

}  // namespace
}  // namespace zub::platform
