// The folder browser: a folder dialog with an edit box that refuses a typed
// folder that does not exist, saying so with the wizard's own texts.
#pragma once

#include <QFileDialog>
#include <functional>

namespace kitsetup {

class FolderBrowser : public QFileDialog {
public:
    using Complain =
        std::function<void(QWidget* parent, const QString& text, const QString& caption)>;

    FolderBrowser(QWidget* parent, const QString& initial, Complain complain);

    // The accepted folder as an absolute path, "" when there is none.
    QString Chosen() const;
    // True when text names an existing folder; a relative text counts from
    // the dialog's current folder.
    static bool Exists(const QString& text, const QString& base);

    void accept() override;

private:
    Complain complain_;
};

}  // namespace kitsetup
