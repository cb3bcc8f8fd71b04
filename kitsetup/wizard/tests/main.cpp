#include <QApplication>

#include "wizard/cmybasewnd.h"

namespace kitsetup::test {
int RunLogicTests(int argc, char** argv);
int RunWizardTests(int argc, char** argv);
}  // namespace kitsetup::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(kitsetup::CMyBaseWnd::DefaultGuiFont());
    int failed = kitsetup::test::RunLogicTests(argc, argv);
    failed += kitsetup::test::RunWizardTests(argc, argv);
    return failed == 0 ? 0 : 1;
}
