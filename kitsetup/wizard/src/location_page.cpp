#include "location_page.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "wizard/cmybasewnd.h"
#include "wizard/folder_check.h"
#include "wizard/geometry.h"
#include "wizard/wizard_host.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup {

LocationPage::LocationPage(QWidget* parent, const QString& product, const QString& path,
                           unsigned long long needed, WizardHost& host, PathChanged changed)
    : QWidget(parent),
      host_(host),
      changed_(std::move(changed)),
      needed_(needed),
      edit_(new QLineEdit(this)),
      whole_(new QLabel(this)),
      space_(new QLabel(this)) {
    auto* label = new QLabel(StrF(115, W(product)), this);
    label->setGeometry(ui::Place(ui::kLocationLabelBox));

    // The field shows a long path only in part; here it shows whole.
    whole_->setObjectName(ControlName(ui::kFolderWhole));
    whole_->setGeometry(ui::Place(ui::kFolderWholeBox));
    whole_->setTextFormat(Qt::PlainText);
    whole_->setWordWrap(true);
    whole_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The group box goes first so the edit and the button sit above it.
    auto* group = new QGroupBox(Str(116), this);
    group->setObjectName(ControlName(ui::kFolderGroup));
    group->setGeometry(ui::Place(ui::kFolderGroupBox));
    group->lower();

    edit_->setObjectName(ControlName(ui::kFolderEdit));
    edit_->setGeometry(ui::Place(ui::kFolderEditBox));
    edit_->setText(path);
    edit_->setCursorPosition(0);
    edit_->raise();
    QObject::connect(edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        Show(text);
        changed_(text);
    });

    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(ControlName(ui::kFolderBrowse));
    browse->setGeometry(ui::Place(ui::kFolderBrowseBox));
    browse->raise();
    QObject::connect(browse, &QPushButton::clicked, this, [this] { Browse(); });

    space_->setObjectName(ControlName(ui::kFolderSpace));
    space_->setGeometry(ui::Place(ui::kFolderSpaceBox));
    Show(path);
}

void LocationPage::Show(const QString& path) {
    whole_->setText(Breakable(path));
    edit_->setToolTip(path);
    space_->setText(FolderCheck(path, needed_).SpaceLine());
}

void LocationPage::Browse() {
    const QString chosen = host_.BrowseFolder(window(), edit_->text().trimmed());
    if (chosen.isEmpty()) return;
    edit_->setText(chosen);
    edit_->setCursorPosition(0);
    Show(chosen);
    changed_(chosen);
}

bool LocationPage::Accept() {
    const FolderCheck check(edit_->text(), needed_);
    const FolderCheck::Verdict verdict = check.Judge();
    if (verdict != FolderCheck::Verdict::Ok) {
        host_.ShowMessage(window(), check.Explain(verdict), window()->windowTitle());
        edit_->setFocus();
        return false;
    }
    if (check.Path() != edit_->text()) {
        edit_->setText(check.Path());
        Show(check.Path());
    }
    changed_(check.Path());
    return true;
}

}  // namespace zub::kitsetup
