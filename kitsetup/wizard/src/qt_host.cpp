#include "wizard/qt_host.h"

#include <QApplication>
#include <QMessageBox>

#include "wizard/folder_browser.h"
#include "wizard/wizard_texts.h"
#include "zub/platform/privilege.h"
#include "zub/platform/process.h"

namespace zub::kitsetup {

namespace pf = zub::platform;

std::unique_ptr<QMessageBox> QtHost::MakeBox(QWidget* parent, const QString& text,
                                             const QString& caption, bool question) {
    auto box = std::make_unique<QMessageBox>(
        question ? QMessageBox::Question : QMessageBox::Warning, caption, text,
        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    // The buttons' texts are Qt's, in the language of its translations.
    if (question) box->setDefaultButton(QMessageBox::Yes);
    return box;
}

void QtHost::ShowMessage(QWidget* parent, const QString& text, const QString& caption) {
    MakeBox(parent, text, caption, false)->exec();
}

bool QtHost::AskYesNo(QWidget* parent, const QString& text, const QString& caption) {
    const auto box = MakeBox(parent, text, caption, true);
    box->exec();
    return box->clickedButton() == box->button(QMessageBox::Yes);
}

QString QtHost::BrowseFolder(QWidget* parent, const QString& initial) {
    FolderBrowser dialog(parent, initial,
                         [this](QWidget* p, const QString& text, const QString& caption) {
                             ShowMessage(p, text, caption);
                         });
    if (dialog.exec() != QDialog::Accepted) return {};
    const QString chosen = dialog.Chosen();
    if (chosen.isEmpty()) ShowMessage(parent, Str(105), Str(104));
    return chosen;
}

void QtHost::OpenDocument(const QString& path) {
    pf::ShellExecuteInfo info;
    info.file = W(path);
    info.wantProcess = false;
    pf::Process process;
    pf::ShellExecute(info, process);
}

void QtHost::Reboot() {
    if (pf::EnableShutdownPrivilege() == 0) pf::RequestReboot();
}

void QtHost::Quit() { QCoreApplication::quit(); }

}  // namespace zub::kitsetup
