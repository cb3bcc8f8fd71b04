// The install location: the folder typed or browsed for, shown whole, with
// the space it needs and has; Next goes on only to a folder that can be made.
#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;

namespace zub::kitsetup {

class WizardHost;

class LocationPage : public QWidget {
public:
    using PathChanged = std::function<void(const QString&)>;

    LocationPage(QWidget* parent, const QString& product, const QString& path,
                 unsigned long long needed, WizardHost& host, PathChanged changed);

    // Checks the folder before the page is left forward; a refusal is told
    // to the user and keeps the page.
    bool Accept();

private:
    void Browse();
    void Show(const QString& path);

    WizardHost& host_;
    PathChanged changed_;
    unsigned long long needed_;
    QLineEdit* edit_;
    QLabel* whole_;
    QLabel* space_;
};

}  // namespace zub::kitsetup
