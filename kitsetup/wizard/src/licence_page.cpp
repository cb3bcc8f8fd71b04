#include "licence_page.h"

#include <QFile>
#include <QLabel>
#include <QTextEdit>

#include "wizard/cmybasewnd.h"
#include "wizard/geometry.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup {

LicencePage::LicencePage(QWidget* parent) : QWidget(parent) {
    auto* label = new QLabel(Str(111), this);
    label->setObjectName(ControlName(ui::kLicenceLabel));
    label->setGeometry(ui::Place(ui::kLicenceLabelBox));

    auto* text = new QTextEdit(this);
    text->setObjectName(ControlName(ui::kLicenceText));
    text->setGeometry(ui::Place(ui::kLicenceTextBox));
    text->setReadOnly(true);
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFile file(QStringLiteral("license.txt"));
    if (file.open(QIODevice::ReadOnly)) text->setPlainText(QString::fromLocal8Bit(file.readAll()));
}

}  // namespace zub::kitsetup
