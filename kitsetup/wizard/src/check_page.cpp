#include "check_page.h"

#include <QHeaderView>
#include <QTableWidget>

#include "wizard/cmybasewnd.h"
#include "wizard/geometry.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup {

CheckPage::CheckPage(QWidget* parent, const std::vector<WizardCheck>& checks) : QWidget(parent) {
    auto* table = new QTableWidget(static_cast<int>(checks.size()), 3, this);
    table->setObjectName(ControlName(ui::kCheckList));
    table->setGeometry(ui::Place(ui::kCheckListBox));
    table->setHorizontalHeaderLabels({Str(107), Str(108), Str(109)});
    table->horizontalHeader()->setSectionsClickable(false);
    table->horizontalHeader()->setStretchLastSection(false);
    table->verticalHeader()->hide();
    table->setShowGrid(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setColumnWidth(0, ui::Place(ui::kCheckColumn));
    table->setColumnWidth(1, ui::Place(ui::kResultColumn));
    table->setColumnWidth(2, ui::Place(ui::kSolutionColumn));
    for (std::size_t i = 0; i < checks.size(); ++i) {
        const auto& c = checks[i];
        const int row = static_cast<int>(i);
        auto* caption = new QTableWidgetItem(Q(c.caption));
        caption->setToolTip(caption->text());  // the column is narrower than many captions
        table->setItem(row, 0, caption);
        table->setItem(row, 1, new QTableWidgetItem(Str(c.passed ? 138 : 139)));
        if (!c.passed && c.blocking) {
            table->setItem(row, 2, new QTableWidgetItem(Q(c.failMsg)));
            blocked_ = true;
        }
    }
}

}  // namespace zub::kitsetup
