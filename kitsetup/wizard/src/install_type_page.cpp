#include "install_type_page.h"

#include <QHeaderView>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include "wizard/cmybasewnd.h"
#include "wizard/geometry.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup {

InstallTypePage::InstallTypePage(QWidget* parent, ModuleSelection selection, Changed changed)
    : QWidget(parent),
      selection_(std::move(selection)),
      changed_(std::move(changed)),
      list_(new QTreeWidget(this)) {
    list_->setObjectName(ControlName(ui::kModuleList));
    list_->setGeometry(ui::Place(ui::kModuleListBox));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(2);
    list_->setHeaderLabels({Str(134), Str(135)});
    list_->header()->setSectionsClickable(false);
    // The caption column takes what the description leaves; a caption too
    // long for it loses its middle, not its end, and shows whole on hover.
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    list_->setColumnWidth(1, ui::Place(ui::kDescColumn));
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setTextElideMode(Qt::ElideMiddle);
    for (const auto& m : selection_.Modules()) {
        auto* item = new QTreeWidgetItem(list_, {Q(m.caption)});
        item->setToolTip(0, Q(m.caption));
        item->setData(0, Qt::UserRole, m.index);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    QObject::connect(list_, &QTreeWidget::itemChanged, this,
                     [this](QTreeWidgetItem* item, int) { ItemChanged(item); });

    const auto& types = selection_.Types();
    for (std::size_t i = 0; i < types.size(); ++i) {
        auto* radio = new QRadioButton(Q(types[i].name), this);
        radio->setToolTip(Q(types[i].name));
        radio->setObjectName(ControlName(ui::kTypeRadio) + QStringLiteral("_%1").arg(i));
        radio->setGeometry(ui::Place(ui::TypeRadioBox(static_cast<int>(i))));
        const int type = static_cast<int>(i);
        QObject::connect(radio, &QRadioButton::clicked, this, [this, type] { ClickType(type); });
        radios_.push_back(radio);
    }
    const int selected = selection_.SelectedType();
    if (selected >= 0 && static_cast<std::size_t>(selected) < radios_.size()) {
        radios_[static_cast<std::size_t>(selected)]->click();
    } else {
        Sync();
    }
}

void InstallTypePage::ClickType(int type) {
    selection_.ClickType(type);
    Sync();
}

void InstallTypePage::ItemChanged(QTreeWidgetItem* item) {
    const int row = list_->indexOfTopLevelItem(item);
    if (row < 0) return;
    selection_.SetChecked(static_cast<std::size_t>(row), item->checkState(0) == Qt::Checked);
    Sync();
}

void InstallTypePage::Sync() {
    {
        const QSignalBlocker block(list_);
        for (int i = 0; i < list_->topLevelItemCount(); ++i) {
            list_->topLevelItem(i)->setCheckState(
                0, selection_.IsChecked(static_cast<std::size_t>(i)) ? Qt::Checked : Qt::Unchecked);
        }
    }
    list_->setEnabled(selection_.ListEnabled());
    changed_(selection_);
}

}  // namespace zub::kitsetup
