// The summary of what is about to be installed where.
#pragma once

#include <QWidget>

namespace zub::kitsetup {

class ConfirmPage : public QWidget {
public:
    ConfirmPage(QWidget* parent, const QString& summary);
};

}  // namespace zub::kitsetup
