#include "finish_page.h"

#include <QLabel>
#include <QPushButton>

#include "wizard/cmybasewnd.h"
#include "wizard/geometry.h"
#include "wizard/wizard_host.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup {

FinishPage::FinishPage(QWidget* parent, const QString& product, bool succeeded,
                       const QString& logPath, WizardHost& host)
    : QWidget(parent) {
    auto* label = new QLabel(StrF(succeeded ? 130 : kTextFinishFailed, W(product)), this);
    label->setGeometry(ui::Place(ui::kFinishLabelBox));

    auto* view = new QPushButton(Str(144), this);
    view->setObjectName(ControlName(ui::kViewLog));
    view->setGeometry(ui::Place(ui::kViewLogBox));
    view->setEnabled(!logPath.isEmpty());
    QObject::connect(view, &QPushButton::clicked, this,
                     [&host, logPath] { host.OpenDocument(logPath); });

    if (logPath.isEmpty()) return;
    auto* where = new QLabel(Breakable(StrF(kTextLogAt, W(logPath))), this);
    where->setObjectName(ControlName(ui::kLogPath));
    where->setGeometry(ui::Place(ui::kLogPathBox));
    where->setTextFormat(Qt::PlainText);
    where->setWordWrap(true);
    where->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    where->setToolTip(logPath);
}

}  // namespace zub::kitsetup
