// The wizard window: start-up, the frame with its three buttons, the pages,
// the install on a worker thread and the end of the program.
#pragma once

#include <QPointer>
#include <memory>

#include "wizard/cmybasewnd.h"
#include "wizard/install_runner.h"
#include "wizard/page_flow.h"
#include "wizard/wizard_engine.h"

class QLabel;
class QPushButton;

namespace zub::kitsetup {

class WizardHost;
class frmFlash;
class LocationPage;
class ProgressPage;

class frmMain : public CMyBaseWnd {
public:
    frmMain(std::unique_ptr<WizardEngine> engine, WizardHost& host, int splashMs);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    Page CurrentPage() const { return page_; }
    bool Installing() const { return runner_.Running(); }
    // The install's outcome once the finish page shows.
    bool Succeeded() const { return succeeded_; }
    WizardEngine& Engine() { return *engine_; }
    const PageFlow& Flow() const { return *flow_; }

    // The splash time-out (timer 101): the frame and the first page.
    void EndSplash();
    void OpenPage(Page page);

protected:
    int OnInit() override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    struct Button {
        QPushButton* widget = nullptr;
        Page target = Page::None;
    };

    void CreateFrame();
    void ApplyPage(const PageState& state);
    void ApplyButton(Button& button, const ButtonState& state);
    void Run(Page target);
    void Install();
    void InstallFinished(bool success);
    void ShowPage(std::unique_ptr<QWidget> page);
    // The install log when it was written, "" otherwise.
    QString WrittenLog() const;

    std::unique_ptr<WizardEngine> engine_;
    WizardHost& host_;
    int splashMs_;
    int timer_ = 0;
    std::unique_ptr<PageFlow> flow_;
    std::unique_ptr<frmFlash> splash_;
    std::unique_ptr<QWidget> pageWidget_;
    ProgressPage* progress_ = nullptr;
    LocationPage* location_ = nullptr;
    Page page_ = Page::None;
    QString product_;
    QLabel* heading_ = nullptr;
    Button back_, next_, cancel_;
    bool succeeded_ = false;
    // Declared last: destroyed first, so a running install ends before the
    // engine it runs on goes.
    InstallRunner runner_;
};

}  // namespace zub::kitsetup
