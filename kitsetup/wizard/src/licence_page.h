// The licence: "license.txt" of the working directory as plain text.
#pragma once

#include <QWidget>

namespace kitsetup {

class LicencePage : public QWidget {
public:
    explicit LicencePage(QWidget* parent);
};

}  // namespace kitsetup
