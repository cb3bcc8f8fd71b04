#include <QApplication>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "wizard/cmybasewnd.h"
#include "zubtest/sandbox.h"

namespace kitsetup::test {
int RunLogicTests(int argc, char** argv);
int RunWizardTests(int argc, char** argv);
int RunEngineTests(int argc, char** argv);
int RunLocationTests(int argc, char** argv);
}  // namespace kitsetup::test

namespace {

struct TestClass {
    const char* name;
    int (*run)(int, char**);
};

constexpr TestClass kClasses[] = {
    {"LogicTest", kitsetup::test::RunLogicTests},
    {"WizardTest", kitsetup::test::RunWizardTests},
    {"EngineTest", kitsetup::test::RunEngineTests},
    {"LocationTest", kitsetup::test::RunLocationTests},
};

}  // namespace

// Without arguments every class runs; `kitsetup_wizard_tests CLASS [QtTest
// options]` runs one (CTest registers each class as a test of its own).
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Installs, the registry and the log stay in a sandbox that goes with the run.
    zubtest::Sandbox sandbox("kitsetup-wizard");
    sandbox.SetEnv("ZUB_PRIVILEGED", "1");
    std::filesystem::create_directories(sandbox.root() / "tmp");
    QApplication app(argc, argv);
    QApplication::setFont(kitsetup::CMyBaseWnd::DefaultGuiFont());
    if (argc > 1 && argv[1][0] != '-') {
        for (const TestClass& c : kClasses) {
            if (std::strcmp(c.name, argv[1]) != 0) continue;
            argv[1] = argv[0];
            return c.run(argc - 1, argv + 1) == 0 ? 0 : 1;
        }
        std::fprintf(stderr, "no test class %s\n", argv[1]);
        return 2;
    }
    int failed = 0;
    for (const TestClass& c : kClasses) failed += c.run(argc, argv);
    return failed == 0 ? 0 : 1;
}
