#include "wizard/frmmain.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "check_page.h"
#include "confirm_page.h"
#include "finish_page.h"
#include "install_type_page.h"
#include "licence_page.h"
#include "location_page.h"
#include "progress_page.h"
#include "wizard/frmflash.h"
#include "wizard/geometry.h"
#include "wizard/wizard_host.h"
#include "wizard/wizard_texts.h"

// The header image lives in a static library: its resources must be pulled
// in by name.
static void InitWizardResources() { Q_INIT_RESOURCE(wizard); }

namespace zub::kitsetup {

namespace {

// Centred horizontally, `size` high, a little above the middle of the screen.
QPoint AboveCentre(const QWidget& w, QSize size) {
    const QScreen* screen = w.screen() != nullptr ? w.screen() : QGuiApplication::primaryScreen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return {area.x() + (area.width() - size.width()) / 2,
            area.y() + (area.height() - size.height()) / 2 - ui::kAboveCentre};
}

}  // namespace

frmMain::frmMain(std::unique_ptr<WizardEngine> engine, WizardHost& host, int splashMs)
    : CMyBaseWnd(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      engine_(std::move(engine)),
      host_(host),
      splashMs_(splashMs) {
    InitWizardResources();
    setGeometry(ui::kStartX, ui::kStartY, ui::kStartSize, ui::kStartSize);
    QObject::connect(&runner_, &InstallRunner::progressed, this,
                     [this](int count, const QString& text) {
                         if (progress_ != nullptr) progress_->Advance(count, text);
                     });
    QObject::connect(&runner_, &InstallRunner::finished, this,
                     [this](bool success) { InstallFinished(success); });
}

frmMain::~frmMain() = default;

int frmMain::OnInit() {
    if (engine_->LoadScript() != 0) {
        host_.ShowMessage(nullptr, Str(100) + Q(Shown(engine_->LastError())), Str(101));
        return 0;
    }
    if (const std::wstring installed = engine_->PrepareAndFindInstalled(); !installed.empty()) {
        host_.ShowMessage(nullptr, StrF(146, installed), Str(101));
        return 0;
    }
    const GeneralInfo& general = engine_->General();
    product_ = Q(general.productName);
    flow_ = std::make_unique<PageFlow>(general.showLicense,
                                       static_cast<int>(engine_->InstallTypes().size()),
                                       static_cast<int>(engine_->ModuleCount()));
    setWindowTitle(product_ + QLatin1Char(' ') + Str(102));
    cancel_.target = Page::Quit;

    if (!general.showFlash) {
        EndSplash();
        return 1;
    }
    setWindowOpacity(ui::kSplashOpacity);
    timer_ = startTimer(splashMs_);
    splash_ = std::make_unique<frmFlash>(this);
    splash_->Create();
    if (!splash_->Image().isNull()) resize(splash_->size());
    move(AboveCentre(*this, size()));
    return 1;
}

void frmMain::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_) EndSplash();
}

void frmMain::EndSplash() {
    if (timer_ != 0) killTimer(timer_);
    timer_ = 0;
    splash_.reset();
    const bool wasVisible = isVisible();
    setWindowOpacity(1.0);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(ui::kWidth, ui::kHeight);
    move(AboveCentre(*this, size()));
    CreateFrame();
    OpenPage(flow_->First());
    if (wasVisible) show();
}

void frmMain::CreateFrame() {
    auto* image = new QLabel(this);
    image->setObjectName(ControlName(ui::kHeaderImage));
    const QPixmap header(QStringLiteral(":/kitsetup/header.png"));
    image->setPixmap(header);
    image->setGeometry(ui::kHeaderImageBox.x, ui::kHeaderImageBox.y, header.width(),
                       header.height());

    heading_ = new QLabel(this);
    heading_->setObjectName(ControlName(ui::kHeading));
    heading_->setGeometry(ui::Place(ui::kHeadingBox));
    heading_->setAttribute(Qt::WA_TranslucentBackground);
    QFont bold = heading_->font();
    bold.setBold(true);
    heading_->setFont(bold);

    for (const auto& [id, box] : {std::pair{ui::kLineTop, ui::kLineTopBox},
                                  std::pair{ui::kLineBottom, ui::kLineBottomBox}}) {
        auto* line = new QFrame(this);
        line->setObjectName(ControlName(id));
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setGeometry(ui::Place(box));
    }

    struct ButtonSlot {
        Button* button;
        int id;
        ui::Box box;
    };
    for (const ButtonSlot& s :
         {ButtonSlot{&back_, ui::kBack, ui::kBackBox}, ButtonSlot{&next_, ui::kNext, ui::kNextBox},
          ButtonSlot{&cancel_, ui::kCancel, ui::kCancelBox}}) {
        auto* w = new QPushButton(this);
        w->setObjectName(ControlName(s.id));
        w->setGeometry(ui::Place(s.box));
        Button* button = s.button;
        QObject::connect(w, &QPushButton::clicked, this, [this, button] {
            if (button == &next_ && location_ != nullptr && !location_->Accept()) return;
            Run(button->target);
        });
        button->widget = w;
    }
    next_.widget->setDefault(true);
}

void frmMain::paintEvent(QPaintEvent*) {
    if (heading_ == nullptr) return;
    QPainter painter(this);
    painter.fillRect(0, 0, ui::kWidth, ui::kBandHeight, Qt::white);
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && next_.widget != nullptr) {
        if (next_.widget->isEnabled() && next_.widget->isVisible()) next_.widget->click();
        event->accept();
        return;
    }
    CMyBaseWnd::keyPressEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
    // The worker still uses the engine; the window stays until it reports.
    if (runner_.Running()) {
        event->ignore();
        return;
    }
    event->accept();
    host_.Quit();
}

void frmMain::ApplyButton(Button& button, const ButtonState& state) {
    if (state.textId != 0) button.widget->setText(Str(state.textId));
    if (state.show != Show::Keep) button.widget->setVisible(state.show == Show::Visible);
    button.widget->setEnabled(state.enabled);
    button.target = state.target;
}

void frmMain::ApplyPage(const PageState& state) {
    if (state.headingId != 0) heading_->setText(Str(state.headingId));
    ApplyButton(back_, state.back);
    ApplyButton(next_, state.next);
    ApplyButton(cancel_, state.cancel);
}

void frmMain::ShowPage(std::unique_ptr<QWidget> page) {
    page->setGeometry(0, 0, ui::kWidth, ui::kHeight);
    page->lower();
    page->show();
    pageWidget_ = std::move(page);
}

void frmMain::Run(Page target) {
    if (target == Page::None) return;
    if (target == Page::Quit) {
        host_.Quit();
        return;
    }
    OpenPage(target);
}

void frmMain::OpenPage(Page page) {
    if (back_.widget == nullptr || page == Page::None || page == Page::Quit) return;
    progress_ = nullptr;
    location_ = nullptr;
    pageWidget_.reset();
    page_ = page;
    switch (page) {
        case Page::Licence:
            ApplyPage(flow_->State(page));
            ShowPage(std::make_unique<LicencePage>(this));
            break;
        case Page::Location: {
            ApplyPage(flow_->State(page));
            auto locationPage = std::make_unique<LocationPage>(
                this, product_, Q(engine_->InstallPath()), engine_->PayloadBytes(), host_,
                [this](const QString& path) { engine_->SetInstallPath(W(path)); });
            location_ = locationPage.get();
            ShowPage(std::move(locationPage));
            break;
        }
        case Page::InstallType: {
            ApplyPage(flow_->State(page));
            ModuleSelection selection(engine_->InstallTypes(), engine_->ModuleList(),
                                      engine_->Selection(), engine_->SelectedInstallType());
            ShowPage(std::make_unique<InstallTypePage>(
                this, std::move(selection), [this](const ModuleSelection& s) {
                    engine_->SetSelection(s.Selection());
                    engine_->SetSelectedInstallType(s.SelectedType());
                    back_.widget->setEnabled(true);
                    cancel_.widget->setEnabled(true);
                    next_.widget->setEnabled(s.NextEnabled());
                }));
            break;
        }
        case Page::Check: {
            if (flow_->SkipsInstallType()) {
                const auto types = engine_->InstallTypes();
                engine_->SetSelection(types.front().mds);
            }
            const std::vector<WizardCheck> checks = engine_->RunChecks();
            flow_->SetHasChecks(!checks.empty());
            if (checks.empty()) {
                OpenPage(Page::Confirm);
                return;
            }
            ApplyPage(flow_->State(page));
            auto checkPage = std::make_unique<CheckPage>(this, checks);
            next_.widget->setEnabled(!checkPage->Blocked());
            ShowPage(std::move(checkPage));
            break;
        }
        case Page::Confirm:
            ApplyPage(flow_->State(page));
            ShowPage(std::make_unique<ConfirmPage>(
                this, ForDisplay(ConfirmationText(engine_->InstallPath(), engine_->Selection(),
                                                  engine_->ModuleList()))));
            break;
        case Page::Progress:
            Install();
            break;
        case Page::Finish:
            ApplyPage(PageFlow::Finished(succeeded_));
            ShowPage(std::make_unique<FinishPage>(this, product_, succeeded_, WrittenLog(), host_));
            break;
        case Page::None:
        case Page::Quit:
            break;
    }
}

void frmMain::Install() {
    const int total = engine_->CountFiles();
    auto page = std::make_unique<ProgressPage>(this, total);
    progress_ = page.get();
    ShowPage(std::move(page));
    if (total <= 0) {
        ApplyPage(PageFlow::NothingToInstall());
        // Noted in the log first, so the message can send the user there.
        engine_->Log(Text(kTextNothingNoLog));
        const QString log = WrittenLog();
        host_.ShowMessage(this,
                          log.isEmpty() ? Str(kTextNothingNoLog) : StrF(kTextNothingSeeLog, W(log)),
                          windowTitle());
        return;
    }
    ApplyPage(flow_->State(Page::Progress));
    runner_.Start(*engine_);
}

void frmMain::InstallFinished(bool success) {
    engine_->Log(LoadStr(success ? 142 : 143));
    succeeded_ = success;
    if (!success) {
        const QString log = WrittenLog();
        QString text = log.isEmpty() ? Str(kTextFailedNoLog) : StrF(kTextFailedSeeLog, W(log));
        if (const QString why = Q(Shown(engine_->LastError())).trimmed(); !why.isEmpty()) {
            text = why + QStringLiteral("\n\n") + text;
        }
        host_.ShowMessage(this, text, windowTitle());
    } else if (engine_->General().promptRestart && host_.AskYesNo(this, Str(147), windowTitle())) {
        host_.Reboot();
    }
    OpenPage(Page::Finish);
}

QString frmMain::WrittenLog() const {
    const QString log = Q(engine_->InstallLogPath());
    return QFileInfo(log).isFile() ? log : QString();
}

}  // namespace zub::kitsetup
