#include "shot_driver.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <thread>

#include "wizard/frmmain.h"
#include "wizard/geometry.h"

namespace zub::kitsetup {

namespace {

constexpr int kTickMs = 250;
constexpr int kTicksBeforeShot = 3;
constexpr int kGiveUpTicks = 240;  // a minute

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString PageName(Page page) {
    switch (page) {
        case Page::Licence:
            return QStringLiteral("licence");
        case Page::Location:
            return QStringLiteral("location");
        case Page::InstallType:
            return QStringLiteral("install-type");
        case Page::Check:
            return QStringLiteral("checks");
        case Page::Confirm:
            return QStringLiteral("confirm");
        case Page::Progress:
            return QStringLiteral("progress");
        case Page::Finish:
            return QStringLiteral("finish");
        case Page::None:
        case Page::Quit:
            break;
    }
    return QStringLiteral("page");
}

void Picture(ShotBook& book, QMessageBox& box, const QString& name) {
    box.show();
    Settle(400);
    book.Save(box, name);
    box.close();
}

// Sleeps on the worker thread for every file it reports.
class Brake final : public SignalReceiver {
public:
    ~Brake() override { DisconnectAll(); }
    void OnProgress(int, const std::wstring&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
};

class SlowEngine final : public WizardEngine {
public:
    explicit SlowEngine(std::unique_ptr<WizardEngine> inner) : inner_(std::move(inner)) {}
    int LoadScript() override { return inner_->LoadScript(); }
    std::wstring LastError() const override { return inner_->LastError(); }
    std::wstring PrepareAndFindInstalled() override { return inner_->PrepareAndFindInstalled(); }
    const GeneralInfo& General() const override { return inner_->General(); }
    std::wstring InstallPath() const override { return inner_->InstallPath(); }
    void SetInstallPath(const std::wstring& p) override { inner_->SetInstallPath(p); }
    std::vector<InstallType> InstallTypes() const override { return inner_->InstallTypes(); }
    std::vector<WizardModule> ModuleList() const override { return inner_->ModuleList(); }
    std::size_t ModuleCount() const override { return inner_->ModuleCount(); }
    std::wstring Selection() const override { return inner_->Selection(); }
    void SetSelection(const std::wstring& m) override { inner_->SetSelection(m); }
    int SelectedInstallType() const override { return inner_->SelectedInstallType(); }
    void SetSelectedInstallType(int t) override { inner_->SetSelectedInstallType(t); }
    std::vector<WizardCheck> RunChecks() override { return inner_->RunChecks(); }
    int CountFiles() const override { return inner_->CountFiles(); }
    unsigned long long PayloadBytes() const override { return inner_->PayloadBytes(); }
    ProgressSignal& Progress() override { return inner_->Progress(); }
    int ExecInstall() override {
        Brake brake;
        inner_->Progress().connect(&brake, &Brake::OnProgress);
        return inner_->ExecInstall();
    }
    void Log(const std::wstring& m) override { inner_->Log(m); }
    std::wstring InstallLogPath() const override { return inner_->InstallLogPath(); }

private:
    std::unique_ptr<WizardEngine> inner_;
};

}  // namespace

void ShotBook::Save(QWidget& widget, const QString& name) {
    QDir().mkpath(dir_);
    const QString file =
        QStringLiteral("%1/%2-%3.png").arg(dir_).arg(next_++, 2, 10, QLatin1Char('0')).arg(name);
    widget.grab().save(file);
}

void ShotHost::ShowMessage(QWidget* parent, const QString& text, const QString& caption) {
    Picture(book_, *MakeBox(parent, text, caption, false), QStringLiteral("message"));
}

bool ShotHost::AskYesNo(QWidget* parent, const QString& text, const QString& caption) {
    Picture(book_, *MakeBox(parent, text, caption, true), QStringLiteral("question"));
    return false;
}

std::unique_ptr<WizardEngine> SlowedForShots(std::unique_ptr<WizardEngine> engine) {
    return std::make_unique<SlowEngine>(std::move(engine));
}

ShotDriver::ShotDriver(frmMain& window, ShotBook& book, QStringList typed)
    : QObject(&window),
      window_(window),
      book_(book),
      timer_(new QTimer(this)),
      typed_(std::move(typed)) {
    QObject::connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
    timer_->start(kTickMs);
}

void ShotDriver::Tick() {
    // A message box pictured from inside a click runs its own event loop;
    // the ticks arriving meanwhile wait for the click to return.
    if (inTick_) return;
    inTick_ = true;
    Step();
    inTick_ = false;
}

void ShotDriver::Step() {
    if (++ticks_ > kGiveUpTicks) {
        QCoreApplication::exit(2);
        return;
    }
    const Page page = window_.CurrentPage();
    if (page == Page::None) {
        if (!splashTaken_ && ticks_ >= kTicksBeforeShot) {
            splashTaken_ = true;
            book_.Save(window_, QStringLiteral("splash"));
        }
        return;
    }
    if (page != taken_) {
        if (++ticksOnPage_ < kTicksBeforeShot) return;
        ticksOnPage_ = 0;
        taken_ = page;
        book_.Save(window_, PageName(page));
    }
    if (page == Page::Progress) return;
    if (page == Page::Location && TypeFolder()) return;
    auto* next = window_.findChild<QPushButton*>(ControlName(ui::kNext));
    if (next != nullptr && next->isEnabled()) next->click();
}

bool ShotDriver::TypeFolder() {
    if (typed_.isEmpty()) return false;
    auto* edit = window_.findChild<QLineEdit*>(ControlName(ui::kFolderEdit));
    if (edit == nullptr) return false;
    if (!typing_) {
        edit->setText(typed_.front());
        edit->setCursorPosition(0);
        Q_EMIT edit->textEdited(typed_.front());
        typing_ = true;
        ticksOnPage_ = 0;
        return true;
    }
    if (++ticksOnPage_ < kTicksBeforeShot) return true;
    ticksOnPage_ = 0;
    typing_ = false;
    typed_.removeFirst();
    book_.Save(window_, QStringLiteral("location"));
    // A refused folder keeps the page (its message is pictured); the next
    // folder is typed on the next tick.
    auto* next = window_.findChild<QPushButton*>(ControlName(ui::kNext));
    if (next != nullptr && next->isEnabled()) next->click();
    return true;
}

}  // namespace zub::kitsetup
