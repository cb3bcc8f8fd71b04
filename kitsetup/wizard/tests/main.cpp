#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "wizard/cmybasewnd.h"

namespace kitsetup::test {
int RunLogicTests(int argc, char** argv);
int RunWizardTests(int argc, char** argv);
int RunEngineTests(int argc, char** argv);
}  // namespace kitsetup::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Installs, the registry and the log stay in a sandbox that goes with the run.
    QTemporaryDir sandbox;
    if (!sandbox.isValid()) return 1;
    qputenv("ZUB_ROOT", sandbox.filePath(QStringLiteral("root")).toUtf8());
    qputenv("ZUB_REGISTRY_DIR", sandbox.filePath(QStringLiteral("registry")).toUtf8());
    qputenv("ZUB_PRIVILEGED", "1");
    QDir(sandbox.path()).mkpath(QStringLiteral("root/tmp"));
    QDir(sandbox.path()).mkpath(QStringLiteral("registry"));
    QApplication app(argc, argv);
    QApplication::setFont(kitsetup::CMyBaseWnd::DefaultGuiFont());
    int failed = kitsetup::test::RunLogicTests(argc, argv);
    failed += kitsetup::test::RunWizardTests(argc, argv);
    failed += kitsetup::test::RunEngineTests(argc, argv);
    return failed == 0 ? 0 : 1;
}
