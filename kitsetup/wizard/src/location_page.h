// The install location: the chosen folder and the button that browses for
// another one.
#pragma once

#include <QWidget>
#include <functional>

class QLineEdit;

namespace kitsetup {

class WizardHost;

class LocationPage : public QWidget {
public:
    using PathChanged = std::function<void(const QString&)>;

    LocationPage(QWidget* parent, const QString& product, const QString& path, WizardHost& host,
                 PathChanged changed);

private:
    void Browse();

    WizardHost& host_;
    PathChanged changed_;
    QLineEdit* edit_;
};

}  // namespace kitsetup
