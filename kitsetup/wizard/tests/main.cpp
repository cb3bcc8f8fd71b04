#include <QApplication>

#include <filesystem>

#include "wizard/cmybasewnd.h"
#include "zubtest/sandbox.h"

namespace kitsetup::test {
int RunLogicTests(int argc, char** argv);
int RunWizardTests(int argc, char** argv);
int RunEngineTests(int argc, char** argv);
int RunLocationTests(int argc, char** argv);
}  // namespace kitsetup::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Installs, the registry and the log stay in a sandbox that goes with the run.
    zubtest::Sandbox sandbox("kitsetup-wizard");
    sandbox.SetEnv("ZUB_PRIVILEGED", "1");
    std::filesystem::create_directories(sandbox.root() / "tmp");
    QApplication app(argc, argv);
    QApplication::setFont(kitsetup::CMyBaseWnd::DefaultGuiFont());
    int failed = kitsetup::test::RunLogicTests(argc, argv);
    failed += kitsetup::test::RunWizardTests(argc, argv);
    failed += kitsetup::test::RunEngineTests(argc, argv);
    failed += kitsetup::test::RunLocationTests(argc, argv);
    return failed == 0 ? 0 : 1;
}
