#include "progress_page.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "wizard/cmybasewnd.h"
#include "wizard/geometry.h"

namespace zub::kitsetup {

ProgressPage::ProgressPage(QWidget* parent, int total)
    : QWidget(parent), status_(new QLabel(this)), bar_(new QProgressBar(this)) {
    status_->setObjectName(ControlName(ui::kStatusLabel));
    status_->setGeometry(ui::Place(ui::kStatusLabelBox));
    // Long target paths keep their end, the file name, in view.
    status_->setTextFormat(Qt::PlainText);
    bar_->setObjectName(ControlName(ui::kProgressBar));
    bar_->setGeometry(ui::Place(ui::kProgressBarBox));
    bar_->setRange(0, total);
    bar_->setValue(0);
    bar_->setTextVisible(false);
}

void ProgressPage::Advance(int count, const QString& text) {
    if (!text.isEmpty()) {
        status_->setText(
            status_->fontMetrics().elidedText(text, Qt::ElideMiddle, status_->width()));
        status_->setToolTip(text);
    }
    if (count > 0) bar_->setValue(std::min(bar_->maximum(), bar_->value() + count));
}

}  // namespace zub::kitsetup
