// The install's progress: the file being copied and a bar of the files done.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

namespace zub::kitsetup {

class ProgressPage : public QWidget {
public:
    ProgressPage(QWidget* parent, int total);

    // A text replaces the status line; the bar moves on by count files.
    void Advance(int count, const QString& text);

private:
    QLabel* status_;
    QProgressBar* bar_;
};

}  // namespace zub::kitsetup
