// Install types as radio buttons and the modules as a checked list; the
// selection model behind them decides what gets checked.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "wizard/module_selection.h"

class QTreeWidget;
class QTreeWidgetItem;
class QRadioButton;

namespace zub::kitsetup {

class InstallTypePage : public QWidget {
public:
    using Changed = std::function<void(const ModuleSelection&)>;

    InstallTypePage(QWidget* parent, ModuleSelection selection, Changed changed);

    const ModuleSelection& Selection() const { return selection_; }

private:
    void ClickType(int type);
    void ItemChanged(QTreeWidgetItem* item);
    void Sync();

    ModuleSelection selection_;
    Changed changed_;
    QTreeWidget* list_;
    std::vector<QRadioButton*> radios_;
};

}  // namespace zub::kitsetup
