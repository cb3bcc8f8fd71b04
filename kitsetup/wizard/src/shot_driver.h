// Walks the wizard through a whole install by itself and saves a picture of
// every page and message box: the screenshots of the documentation.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "wizard/page_flow.h"
#include "wizard/qt_host.h"
#include "wizard/wizard_engine.h"

class QTimer;

namespace zub::kitsetup {

class frmMain;

// Numbers the pictures in the order they are taken.
class ShotBook {
public:
    explicit ShotBook(QString dir) : dir_(std::move(dir)) {}
    void Save(QWidget& widget, const QString& name);

private:
    QString dir_;
    int next_ = 1;
};

// Message boxes show long enough to be pictured, questions get No.
class ShotHost final : public QtHost {
public:
    explicit ShotHost(ShotBook& book) : book_(book) {}
    void ShowMessage(QWidget* parent, const QString& text, const QString& caption) override;
    bool AskYesNo(QWidget* parent, const QString& text, const QString& caption) override;

private:
    ShotBook& book_;
};

// Slows the install down so the progress page can be pictured.
std::unique_ptr<WizardEngine> SlowedForShots(std::unique_ptr<WizardEngine> engine);

class ShotDriver final : public QObject {
public:
    // typed: folders entered on the location page in turn, each pictured and
    // tried with Next before the wizard goes on.
    ShotDriver(frmMain& window, ShotBook& book, QStringList typed = {});

private:
    void Tick();
    void Step();
    // True while the location page still has folders to try.
    bool TypeFolder();

    frmMain& window_;
    ShotBook& book_;
    QTimer* timer_;
    bool splashTaken_ = false;
    Page taken_ = Page::None;
    int ticksOnPage_ = 0;
    int ticks_ = 0;
    QStringList typed_;
    bool typing_ = false;
    bool inTick_ = false;
};

}  // namespace zub::kitsetup
