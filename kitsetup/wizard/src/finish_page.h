// The end: what became of the install, where its log is and the button that
// opens it.
#pragma once

#include <QWidget>

namespace zub::kitsetup {

class WizardHost;

class FinishPage : public QWidget {
public:
    // An empty logPath: no log could be written.
    FinishPage(QWidget* parent, const QString& product, bool succeeded, const QString& logPath,
               WizardHost& host);
};

}  // namespace zub::kitsetup
