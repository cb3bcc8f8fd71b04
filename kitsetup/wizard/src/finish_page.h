// The end: the product's name and the button that opens the install log.
#pragma once

#include <QWidget>

namespace kitsetup {

class WizardHost;

class FinishPage : public QWidget {
public:
    FinishPage(QWidget* parent, const QString& product, const QString& logPath, WizardHost& host);
};

}  // namespace kitsetup
