#include "confirm_page.h"

#include <QLabel>
#include <QPlainTextEdit>

#include "wizard/cmybasewnd.h"
#include "wizard/geometry.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup {

ConfirmPage::ConfirmPage(QWidget* parent, const QString& summary) : QWidget(parent) {
    auto* label = new QLabel(Str(123), this);
    label->setObjectName(ControlName(ui::kConfirmLabel));
    label->setGeometry(ui::Place(ui::kConfirmLabelBox));

    auto* text = new QPlainTextEdit(summary, this);
    text->setObjectName(ControlName(ui::kConfirmText));
    text->setGeometry(ui::Place(ui::kConfirmTextBox));
    text->setReadOnly(true);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

}  // namespace zub::kitsetup
