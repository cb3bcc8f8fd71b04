#include "wizard/folder_browser.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "wizard/wizard_texts.h"

namespace zub::kitsetup {

namespace {

QLineEdit* NameEdit(const QFileDialog& dialog) {
    return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

}  // namespace

FolderBrowser::FolderBrowser(QWidget* parent, const QString& initial, Complain complain)
    : QFileDialog(parent, Str(104)), complain_(std::move(complain)) {
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, true);
    // The platform dialog would answer a missing folder with its own texts.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    const QString start = NearestFolder(initial);
    if (start.isEmpty()) return;
    setDirectory(start);
    // The part still to be made stays typed in, so OK keeps the choice.
    const QString wanted = QDir::cleanPath(initial);
    if (QLineEdit* edit = NameEdit(*this); edit != nullptr && wanted != start) {
        edit->setText(QDir(start).relativeFilePath(wanted));
    }
}

QString FolderBrowser::NearestFolder(const QString& path) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path)) return {};
    QString p = QDir::cleanPath(path);
    while (!QFileInfo(p).isDir()) {
        const QString up = QFileInfo(p).path();
        if (up == p) return {};
        p = up;
    }
    return p;
}

void FolderBrowser::accept() {
    const QLineEdit* edit = NameEdit(*this);
    const QString typed = edit != nullptr ? edit->text().trimmed() : QString();
    QString chosen;
    if (typed.isEmpty()) {
        const QStringList files = selectedFiles();
        chosen = files.isEmpty() ? directory().absolutePath() : files.front();
    } else {
        chosen = QDir(directory()).absoluteFilePath(typed);
    }
    chosen = QDir::cleanPath(chosen);
    const QFileInfo info(chosen);
    if (info.exists() && !info.isDir()) {
        complain_(this, chosen, Str(kTextNotFolderCaption));
        return;
    }
    chosen_ = chosen;
    // The dialog's own check wants the folder to exist; this one need not.
    QDialog::accept();
}

}  // namespace zub::kitsetup
