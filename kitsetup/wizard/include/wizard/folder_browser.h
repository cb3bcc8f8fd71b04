// The folder browser: a folder dialog that opens at the current choice and
// takes a typed folder that does not exist yet (the install makes it); it
// refuses only a name that is a file, with the wizard's own texts.
#pragma once

#include <QFileDialog>
#include <functional>

namespace zub::kitsetup {

class FolderBrowser : public QFileDialog {
public:
    using Complain =
        std::function<void(QWidget* parent, const QString& text, const QString& caption)>;

    FolderBrowser(QWidget* parent, const QString& initial, Complain complain);

    // The accepted folder as an absolute path, "" when there is none.
    QString Chosen() const { return chosen_; }
    // The deepest existing folder on the way to path ("" when none is).
    static QString NearestFolder(const QString& path);

    void accept() override;

private:
    Complain complain_;
    QString chosen_;
};

}  // namespace zub::kitsetup
