#include "finish_page.h"

#include <QLabel>
#include <QPushButton>

#include "wizard/cmybasewnd.h"
#include "wizard/geometry.h"
#include "wizard/wizard_host.h"
#include "wizard/wizard_texts.h"

namespace kitsetup {

FinishPage::FinishPage(QWidget* parent, const QString& product, const QString& logPath,
                       WizardHost& host)
    : QWidget(parent) {
    auto* label = new QLabel(StrF(130, W(product)), this);
    label->setGeometry(ui::Place(ui::kFinishLabelBox));

    auto* view = new QPushButton(Str(144), this);
    view->setObjectName(ControlName(ui::kViewLog));
    view->setGeometry(ui::Place(ui::kViewLogBox));
    QObject::connect(view, &QPushButton::clicked, this,
                     [&host, logPath] { host.OpenDocument(logPath); });
}

}  // namespace kitsetup
