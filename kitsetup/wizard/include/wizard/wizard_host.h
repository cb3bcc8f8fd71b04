// What the wizard needs from the desktop around it: message boxes, the folder
// browser, opening the log, the reboot and the end of the program.
#pragma once

#include <QString>

class QWidget;

namespace zub::kitsetup {

class WizardHost {
public:
    virtual ~WizardHost() = default;

    virtual void ShowMessage(QWidget* parent, const QString& text, const QString& caption) = 0;
    // True for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text, const QString& caption) = 0;
    // The folder chosen, or an empty text when the user cancelled.
    virtual QString BrowseFolder(QWidget* parent, const QString& initial) = 0;
    virtual void OpenDocument(const QString& path) = 0;
    virtual void Reboot() = 0;
    virtual void Quit() = 0;
};

}  // namespace zub::kitsetup
