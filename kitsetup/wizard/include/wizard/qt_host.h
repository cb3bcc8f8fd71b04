// The desktop as the program sees it: Qt message boxes and the folder
// browser, the log opened by the shell, the reboot through the platform.
#pragma once

#include <QMessageBox>
#include <memory>

#include "wizard/wizard_host.h"

namespace zub::kitsetup {

class QtHost : public WizardHost {
public:
    // A message box with Qt's buttons, in the language of Qt's translations
    // (the restart question names them: "[是]", "[否]").
    static std::unique_ptr<QMessageBox> MakeBox(QWidget* parent, const QString& text,
                                                const QString& caption, bool question);

    void ShowMessage(QWidget* parent, const QString& text, const QString& caption) override;
    bool AskYesNo(QWidget* parent, const QString& text, const QString& caption) override;
    QString BrowseFolder(QWidget* parent, const QString& initial) override;
    void OpenDocument(const QString& path) override;
    void Reboot() override;
    void Quit() override;
};

}  // namespace zub::kitsetup
