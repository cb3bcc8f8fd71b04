// The licence: "license.txt" of the working directory as plain text.
#pragma once

#include <QWidget>

namespace zub::kitsetup {

class LicencePage : public QWidget {
public:
    explicit LicencePage(QWidget* parent);
};

}  // namespace zub::kitsetup
