#include "location_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "wizard/cmybasewnd.h"
#include "wizard/geometry.h"
#include "wizard/wizard_host.h"
#include "wizard/wizard_texts.h"

namespace kitsetup {

LocationPage::LocationPage(QWidget* parent, const QString& product, const QString& path,
                           WizardHost& host, PathChanged changed)
    : QWidget(parent), host_(host), changed_(std::move(changed)), edit_(new QLineEdit(this)) {
    auto* label = new QLabel(StrF(115, W(product)), this);
    label->setGeometry(ui::Place(ui::kLocationLabelBox));

    // The group box goes first so the edit and the button sit above it.
    auto* group = new QGroupBox(Str(116), this);
    group->setObjectName(ControlName(ui::kFolderGroup));
    group->setGeometry(ui::Place(ui::kFolderGroupBox));
    group->lower();

    edit_->setObjectName(ControlName(ui::kFolderEdit));
    edit_->setGeometry(ui::Place(ui::kFolderEditBox));
    edit_->setReadOnly(true);
    edit_->setText(path);
    edit_->raise();

    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(ControlName(ui::kFolderBrowse));
    browse->setGeometry(ui::Place(ui::kFolderBrowseBox));
    browse->raise();
    QObject::connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
}

void LocationPage::Browse() {
    const QString chosen = host_.BrowseFolder(window(), edit_->text());
    if (chosen.isEmpty()) return;
    edit_->setText(chosen);
    changed_(chosen);
}

}  // namespace kitsetup
