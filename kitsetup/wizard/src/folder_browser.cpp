#include "wizard/folder_browser.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "wizard/wizard_texts.h"

namespace kitsetup {

FolderBrowser::FolderBrowser(QWidget* parent, const QString& initial, Complain complain)
    : QFileDialog(parent, Str(104)), complain_(std::move(complain)) {
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly, true);
    // The platform dialog would answer a missing folder with its own texts.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    QDir start(initial);
    while (!start.exists() && start.cdUp()) {}
    setDirectory(start);
    if (QDir(initial).exists()) selectFile(initial);
}

bool FolderBrowser::Exists(const QString& text, const QString& base) {
    if (text.isEmpty()) return false;
    const QFileInfo info(QDir(base), text);
    return info.exists() && info.isDir();
}

QString FolderBrowser::Chosen() const {
    const QStringList files = selectedFiles();
    if (files.isEmpty()) return {};
    const QFileInfo info(files.front());
    return info.isAbsolute() ? QDir::cleanPath(info.absoluteFilePath()) : QString();
}

void FolderBrowser::accept() {
    const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString typed = edit != nullptr ? edit->text().trimmed() : QString();
    if (!typed.isEmpty() && !Exists(typed, directory().absolutePath())) {
        complain_(this, typed, Str(103));
        return;
    }
    QFileDialog::accept();
}

}  // namespace kitsetup
