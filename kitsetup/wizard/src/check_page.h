// The prerequisite checks with their results and, for a check that blocks
// the install, what to do about it.
#pragma once

#include <QWidget>
#include <vector>

#include "wizard/wizard_engine.h"

namespace zub::kitsetup {

class CheckPage : public QWidget {
public:
    CheckPage(QWidget* parent, const std::vector<WizardCheck>& checks);

    // A failed check without actions to fix it: the install cannot go on.
    bool Blocked() const { return blocked_; }

private:
    bool blocked_ = false;
};

}  // namespace zub::kitsetup
