// The wizard window driven like a user: buttons, keys, the install thread.
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <stdexcept>

#include "fake_engine.h"
#include "wizard/frmmain.h"
#include "wizard/geometry.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup::test {

namespace {

// One wizard over a fake engine, built the way the program builds it.
struct Rig {
    explicit Rig(const std::function<void(FakeEngine&)>& setup, int splashMs = 60000) {
        auto e = std::make_unique<FakeEngine>();
        StandardScript(*e);
        setup(*e);
        engine = e.get();
        window = std::make_unique<frmMain>(std::move(e), host, splashMs);
        created = window->Create();
        if (created) window->show();
    }

    ~Rig() {
        // A test that stops early must not leave the worker waiting.
        if (engine != nullptr) engine->Release();
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    template <typename T = QWidget>
    T* Find(int id) const {
        return window->findChild<T*>(ControlName(id));
    }
    QPushButton* Button(int id) const { return Find<QPushButton>(id); }
    void Click(int id) const { QTest::mouseClick(Button(id), Qt::LeftButton); }
    // On the round mark: a short name leaves the middle of the box empty.
    void ClickType(int i) const {
        auto* radio = window->findChild<QRadioButton*>(ControlName(ui::kTypeRadio) +
                                                       QStringLiteral("_%1").arg(i));
        QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(6, radio->height() / 2));
    }
    QString Heading() const { return Find<QLabel>(ui::kHeading)->text(); }
    Page Current() const { return window->CurrentPage(); }
    bool WaitFor(Page page, int ms = 5000) const {
        return QTest::qWaitFor([&] { return window->CurrentPage() == page; }, ms);
    }

    FakeHost host;
    FakeEngine* engine = nullptr;
    std::unique_ptr<frmMain> window;
    bool created = false;
};

bool Contains(const std::vector<std::wstring>& lines, const std::wstring& part) {
    for (const auto& l : lines) {
        if (l.find(part) != std::wstring::npos) return true;
    }
    return false;
}

// Walks from the first page to the confirmation page with the default type.
void ToConfirm(Rig& rig) {
    rig.Click(ui::kNext);  // licence
    rig.Click(ui::kNext);  // location
    rig.Click(ui::kNext);  // install type
    QCOMPARE(int(rig.Current()), int(Page::Confirm));
}

}  // namespace

class WizardTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startupFailureEndsBeforeWindow_data();
    void startupFailureEndsBeforeWindow();
    void transitions_data();
    void transitions();
    void cancelQuitsOnEveryPage();
    void buttonTextsFollowPages();
    void skipRuleSelectsFirstType();
    void customSelectionEnablesNextOnlyWithModule();
    void failingCheck_data();
    void failingCheck();
    void enterWithNextDisabledDoesNothing();
    void browsedFolderBecomesInstallPath();
    void zeroWorkStopsOnProgressPage();
    void completion_data();
    void completion();
    void restartQuestion_data();
    void restartQuestion();
    void eventsFlowDuringSlowInstall();
    void splashThenFrame();
    void licenceTextFromWorkingDirectory();
};

void WizardTest::startupFailureEndsBeforeWindow_data() {
    QTest::addColumn<int>("load");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("text");
    QTest::newRow("script") << 1 << QString()
                            << QStringLiteral("配置文件加载失败, 错误信息：配置文件解析失败。\n");
    QTest::newRow("installed") << 0 << QStringLiteral("文档库(2.0)")
                               << QStringLiteral("本机已安装过 文档库(2.0), 请先卸载再重新安装。");
}

void WizardTest::startupFailureEndsBeforeWindow() {
    QFETCH(int, load);
    QFETCH(QString, installed);
    Rig rig([&](FakeEngine& e) {
        e.loadResult = load;
        e.error = L"Document not parsed successfully. \n";
        e.installed = W(installed);
    });
    QVERIFY(!rig.created);
    QVERIFY(!rig.window->isVisible());
    QCOMPARE(rig.host.messages.size(), std::size_t{1});
    QTEST(rig.host.messages[0].text, "text");
    QCOMPARE(rig.host.messages[0].caption, QStringLiteral("错误信息"));
    QCOMPARE(rig.Button(ui::kNext), nullptr);
}

void WizardTest::transitions_data() {
    QTest::addColumn<int>("config");
    QTest::addColumn<QString>("steps");
    // config: 0 licence, three types, checks; 1 no licence; 2 skip rule with
    // checks; 3 no checks; 4 skip rule without checks.
    QTest::newRow("forward and back") << 0
                                      << "N:Location B:Licence N:Location N:InstallType "
                                         "B:Location N:InstallType N:Check B:InstallType "
                                         "N:Check N:Confirm B:Check N:Confirm N:Progress";
    QTest::newRow("no licence") << 1 << "B:Location N:InstallType B:Location";
    QTest::newRow("skip rule") << 2 << "N:Location N:Check B:Location N:Check N:Confirm B:Check";
    QTest::newRow("no checks") << 3 << "N:Location N:InstallType N:Confirm B:InstallType";
    QTest::newRow("skip rule, no checks") << 4 << "N:Location N:Confirm B:Location";
}

void WizardTest::transitions() {
    QFETCH(int, config);
    QFETCH(QString, steps);
    Rig rig([&](FakeEngine& e) {
        e.general.showLicense = config != 1;
        if (config == 2 || config == 4) {
            e.types = {{L"标准", L"client"}, {L"自定义", L"client"}};
            e.modules = {{L"client", L"客户端", 0}};
        }
        if (config <= 2) e.checks = {{L"数据库驱动", true, false, L""}};
        e.hold = true;  // the install never ends inside this test
    });
    QCOMPARE(int(rig.Current()), int(config == 1 ? Page::Location : Page::Licence));
    for (const QString& step : steps.split(' ')) {
        const QStringList parts = step.split(':');
        const int button = parts[0] == "N" ? ui::kNext : ui::kBack;
        const Page before = rig.Current();
        if (rig.Button(button)->isVisible() && rig.Button(button)->isEnabled()) rig.Click(button);
        const char* names[] = {"None",    "Licence",  "Location", "InstallType", "Check",
                               "Confirm", "Progress", "Finish",   "Quit"};
        QVERIFY2(parts[1] == names[int(rig.Current())],
                 qPrintable(step + " from " + names[int(before)] + " gave " +
                            names[int(rig.Current())]));
    }
    if (rig.Current() == Page::Progress) {
        rig.engine->Release();
        QVERIFY(rig.WaitFor(Page::Finish));
    }
}

void WizardTest::cancelQuitsOnEveryPage() {
    Rig rig([](FakeEngine& e) { e.checks = {{L"驱动", true, false, L""}}; });
    for (const Page page :
         {Page::Licence, Page::Location, Page::InstallType, Page::Check, Page::Confirm}) {
        const int before = rig.host.quits;
        rig.window->OpenPage(page);
        rig.Click(ui::kCancel);
        QCOMPARE(rig.host.quits, before + 1);
        QCOMPARE(int(rig.Current()), int(page));
    }
}

void WizardTest::buttonTextsFollowPages() {
    Rig rig([](FakeEngine&) {});
    QCOMPARE(rig.window->windowTitle(), QStringLiteral("文档库 安装"));
    QCOMPARE(rig.Heading(), QStringLiteral("请先阅读许可协议"));
    QVERIFY(!rig.Button(ui::kBack)->isVisible());
    QCOMPARE(rig.Button(ui::kNext)->text(), QStringLiteral("接受"));
    QCOMPARE(rig.Button(ui::kCancel)->text(), QStringLiteral("拒绝"));
    rig.Click(ui::kNext);
    QCOMPARE(rig.Heading(), QStringLiteral("请选择安装位置"));
    QVERIFY(rig.Button(ui::kBack)->isVisible());
    QCOMPARE(rig.Button(ui::kBack)->text(), QStringLiteral("上一步"));
    QCOMPARE(rig.Button(ui::kNext)->text(), QStringLiteral("下一步"));
    QCOMPARE(rig.Button(ui::kCancel)->text(), QStringLiteral("取消"));
    QCOMPARE(rig.Find<QLineEdit>(ui::kFolderEdit)->text(), QStringLiteral("/opt/acme/vault"));
    rig.Click(ui::kNext);
    QCOMPARE(rig.Heading(), QStringLiteral("请选择安装类型"));
    rig.Click(ui::kNext);
    QCOMPARE(rig.Heading(), QStringLiteral("确认安装选项"));
    QCOMPARE(rig.Button(ui::kNext)->text(), QStringLiteral("安装"));
    QCOMPARE(rig.Find<QPlainTextEdit>(ui::kConfirmText)->toPlainText(),
             QStringLiteral(
                 "当前安装路径:\n\t/opt/acme/vault\n\n当前选择的安装模块\n\t客户端\n\t服务器"));
    // Page controls go with their page; the frame stays.
    QCOMPARE(rig.Find(ui::kFolderEdit), nullptr);
    QCOMPARE(rig.Find(ui::kModuleList), nullptr);
    QVERIFY(!rig.Find<QLabel>(ui::kHeaderImage)->pixmap().isNull());
}

void WizardTest::skipRuleSelectsFirstType() {
    Rig rig([](FakeEngine& e) {
        e.types = {{L"标准", L"client"}, {L"自定义", L"client"}};
        e.modules = {{L"client", L"客户端", 0}};
        e.general.showLicense = false;
    });
    rig.Click(ui::kNext);
    QCOMPARE(int(rig.Current()), int(Page::Confirm));
    QCOMPARE(rig.engine->selection, std::wstring(L"client"));
    QVERIFY(rig.Button(ui::kBack)->isVisible());
}

void WizardTest::customSelectionEnablesNextOnlyWithModule() {
    Rig rig([](FakeEngine&) {});
    rig.window->OpenPage(Page::InstallType);
    auto* list = rig.Find<QTreeWidget>(ui::kModuleList);
    auto* next = rig.Button(ui::kNext);
    // The first type is clicked as the page opens.
    QVERIFY(rig.window->findChild<QRadioButton*>(ControlName(ui::kTypeRadio) + "_0")->isChecked());
    QVERIFY(!list->isEnabled());
    rig.ClickType(2);
    QVERIFY(list->isEnabled());
    QCOMPARE(rig.engine->selection, std::wstring(L"client,server"));
    QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("客户端"));
    QCOMPARE(list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 1);
    QVERIFY(next->isEnabled());

    list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QCOMPARE(rig.engine->selection, std::wstring(L"server"));
    QVERIFY(next->isEnabled());
    list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    QCOMPARE(rig.engine->selection, std::wstring());
    QVERIFY(!next->isEnabled());
    QVERIFY(rig.Button(ui::kBack)->isEnabled() && rig.Button(ui::kCancel)->isEnabled());
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    QCOMPARE(rig.engine->selection, std::wstring(L"server"));
    QVERIFY(next->isEnabled());

    // An ordinary type locks the list and checks its own modules.
    rig.ClickType(1);
    QVERIFY(!list->isEnabled());
    QCOMPARE(rig.engine->selection, std::wstring(L"client"));
    QCOMPARE(rig.engine->selectedType, 1);
    QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
}

void WizardTest::failingCheck_data() {
    QTest::addColumn<bool>("blocking");
    QTest::newRow("with failure actions") << false;
    QTest::newRow("without failure actions") << true;
}

void WizardTest::failingCheck() {
    QFETCH(bool, blocking);
    Rig rig([&](FakeEngine& e) {
        e.checks = {{L"数据库驱动", true, false, L""},
                    {L"运行库", false, blocking, L"请先安装运行库"}};
    });
    rig.window->OpenPage(Page::Check);
    auto* table = rig.Find<QTableWidget>(ui::kCheckList);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("数据库驱动"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("检查成功"));
    QCOMPARE(table->item(1, 1)->text(), QStringLiteral("检查失败"));
    QCOMPARE(table->item(1, 2) != nullptr, blocking);
    if (blocking) QCOMPARE(table->item(1, 2)->text(), QStringLiteral("请先安装运行库"));
    QCOMPARE(rig.Button(ui::kNext)->isEnabled(), !blocking);
    QVERIFY(rig.Button(ui::kBack)->isEnabled() && rig.Button(ui::kCancel)->isEnabled());
    rig.Click(ui::kNext);
    QCOMPARE(int(rig.Current()), int(blocking ? Page::Check : Page::Confirm));
    rig.Click(ui::kBack);
    if (!blocking) {
        QCOMPARE(int(rig.Current()), int(Page::Check));
        QCOMPARE(rig.engine->checkRuns, 2);  // revisiting runs them again
    } else {
        QCOMPARE(int(rig.Current()), int(Page::InstallType));
    }
}

void WizardTest::enterWithNextDisabledDoesNothing() {
    Rig rig([](FakeEngine& e) {
        e.selectedType = 2;
        e.selection = L"client,server";
    });
    rig.window->OpenPage(Page::InstallType);
    auto* list = rig.Find<QTreeWidget>(ui::kModuleList);
    list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    QVERIFY(!rig.Button(ui::kNext)->isEnabled());
    rig.window->activateWindow();
    QTest::keyClick(rig.window.get(), Qt::Key_Return);
    QCOMPARE(int(rig.Current()), int(Page::InstallType));
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    QTest::keyClick(rig.window.get(), Qt::Key_Enter);
    QCOMPARE(int(rig.Current()), int(Page::Confirm));
}

void WizardTest::browsedFolderBecomesInstallPath() {
    Rig rig([](FakeEngine&) {});
    rig.host.folder = QStringLiteral("/srv/其他 目录");
    rig.window->OpenPage(Page::Location);
    rig.Click(ui::kFolderBrowse);
    QCOMPARE(rig.host.browsedFrom, QStringLiteral("/opt/acme/vault"));
    QCOMPARE(rig.Find<QLineEdit>(ui::kFolderEdit)->text(), rig.host.folder);
    QCOMPARE(rig.engine->path, W(rig.host.folder));
    rig.host.folder.clear();  // cancelled: nothing changes
    rig.Click(ui::kFolderBrowse);
    QCOMPARE(rig.engine->path, std::wstring(L"/srv/其他 目录"));
}

void WizardTest::zeroWorkStopsOnProgressPage() {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("zub.log"));
    QVERIFY(QFile(log).open(QIODevice::WriteOnly));
    Rig rig([&](FakeEngine& e) {
        e.files = 0;
        e.logPath = W(log);
    });
    ToConfirm(rig);
    rig.Click(ui::kNext);
    QCOMPARE(int(rig.Current()), int(Page::Progress));
    QCOMPARE(rig.host.messages.size(), std::size_t{1});
    QCOMPARE(
        rig.host.messages[0].text,
        QStringLiteral("配置文件存在错误：所选模块没有要安装的文件。详细信息请参考安装日志：\n") +
            log);
    QVERIFY(Contains(rig.engine->LogLines(), L"所选模块没有要安装的文件"));
    QCOMPARE(rig.Button(ui::kNext)->text(), QStringLiteral("失败"));
    QVERIFY(!rig.Button(ui::kNext)->isEnabled());
    QVERIFY(!rig.Button(ui::kBack)->isEnabled());
    QVERIFY(rig.Button(ui::kCancel)->isEnabled());
    QTest::qWait(50);
    QCOMPARE(rig.engine->installs.load(), 0);
    rig.Click(ui::kCancel);
    QCOMPARE(rig.host.quits, 1);
}

void WizardTest::completion_data() {
    QTest::addColumn<int>("outcome");  // 0 success, 1 failure, 2 exception, 3 unknown throw
    QTest::addColumn<bool>("logWritten");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QString>("message");  // @ stands for the log's path
    QTest::addColumn<QString>("label");
    const QString failed = QStringLiteral("未能完成安装[文档库]");
    QTest::newRow("success") << 0 << true << QString() << QString()
                             << QStringLiteral("已完成安装[文档库]");
    QTest::newRow("failure")
        << 1 << true << QStringLiteral("拷贝文件失败(2)")
        << QStringLiteral("拷贝文件失败(2), 找不到文件\n\n安装失败，详细消息请查看安装日志：\n@")
        << failed;
    QTest::newRow("failure, no log") << 1 << false << QStringLiteral("拷贝文件失败(2)")
                                     << QStringLiteral(
                                            "拷贝文件失败(2), 找不到文件\n\n"
                                            "安装失败，安装日志未能写入。")
                                     << failed;
    QTest::newRow("exception") << 2 << true << QStringLiteral("boom，由 ExeInstallMoudles() 捕获")
                               << QStringLiteral("安装失败，详细消息请查看安装日志：\n@") << failed;
    QTest::newRow("unknown") << 3 << true << QStringLiteral("未知错误，由 ExeInstallMoudles() 捕获")
                             << QStringLiteral("安装失败，详细消息请查看安装日志：\n@") << failed;
}

void WizardTest::completion() {
    QFETCH(int, outcome);
    QFETCH(bool, logWritten);
    QFETCH(QString, logged);
    QFETCH(QString, message);
    QFETCH(QString, label);
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("installLog.log"));
    if (logWritten) QVERIFY(QFile(log).open(QIODevice::WriteOnly));
    Rig rig([&](FakeEngine& e) {
        e.general.promptRestart = false;
        e.logPath = W(log);
        e.finish = [outcome](FakeEngine& self) -> int {
            if (outcome == 1) self.error = L"拷贝文件失败(2), 找不到文件";
            if (outcome == 2) throw std::runtime_error("boom");
            if (outcome == 3) throw 42;
            return outcome == 0 ? 0 : -1;
        };
    });
    ToConfirm(rig);
    rig.Click(ui::kNext);
    QVERIFY(rig.WaitFor(Page::Finish));
    QVERIFY(!rig.engine->installedOnUiThread);
    const bool success = outcome == 0;
    QCOMPARE(rig.window->Succeeded(), success);
    const auto lines = rig.engine->LogLines();
    QVERIFY(Contains(lines, success ? L"安装成功 =====" : L"安装结束，安装过程中出现错误"));
    if (!logged.isEmpty()) QVERIFY(Contains(lines, W(logged)));
    QCOMPARE(rig.host.messages.size(), std::size_t{success ? 0u : 1u});
    if (!success) QCOMPARE(rig.host.messages[0].text, message.replace('@', log));
    QVERIFY(rig.host.questions.empty());
    QCOMPARE(rig.Heading(), success ? QStringLiteral("安装完成") : QStringLiteral("安装失败"));
    QStringList texts;
    for (const QLabel* l : rig.window->findChildren<QLabel*>()) texts << l->text();
    QVERIFY2(texts.contains(label), qPrintable(texts.join('|')));
    QCOMPARE(texts.filter(QStringLiteral("已完成")).isEmpty(), !success);
    auto* where = rig.Find<QLabel>(ui::kLogPath);
    QCOMPARE(where != nullptr, logWritten);
    if (where != nullptr) {
        QCOMPARE(where->text().remove(QChar(0x200b)), QStringLiteral("安装日志：") + log);
    }
    QVERIFY(!rig.Button(ui::kBack)->isVisible());
    QVERIFY(!rig.Button(ui::kCancel)->isVisible());
    QCOMPARE(rig.Button(ui::kNext)->text(), QStringLiteral("完成"));
    QCOMPARE(rig.Button(ui::kViewLog)->isEnabled(), logWritten);
    rig.Click(ui::kViewLog);
    QCOMPARE(rig.host.opened, logWritten ? std::vector<QString>{log} : std::vector<QString>{});
    rig.Click(ui::kNext);
    QCOMPARE(rig.host.quits, 1);
}

void WizardTest::restartQuestion_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
}

void WizardTest::restartQuestion() {
    QFETCH(bool, yes);
    Rig rig([](FakeEngine&) {});
    rig.host.answer = yes;
    ToConfirm(rig);
    rig.Click(ui::kNext);
    QVERIFY(rig.WaitFor(Page::Finish));
    QCOMPARE(rig.host.questions.size(), std::size_t{1});
    QCOMPARE(rig.host.questions[0].text, Str(147));
    QCOMPARE(rig.host.reboots, yes ? 1 : 0);
    QCOMPARE(rig.Heading(), QStringLiteral("安装完成"));
    QCOMPARE(rig.host.quits, 0);
}

void WizardTest::eventsFlowDuringSlowInstall() {
    Rig rig([](FakeEngine& e) {
        e.files = 4;
        e.hold = true;
    });
    ToConfirm(rig);
    rig.Click(ui::kNext);
    QCOMPARE(int(rig.Current()), int(Page::Progress));
    QCOMPARE(rig.Heading(), QStringLiteral("文件拷贝"));
    for (const int id : {ui::kBack, ui::kNext, ui::kCancel}) QVERIFY(!rig.Button(id)->isEnabled());
    auto* bar = rig.Find<QProgressBar>(ui::kProgressBar);
    QCOMPARE(bar->maximum(), 4);
    // The first file arrives while the worker is held: the window gets it
    // through its event loop, and a timer of the window's thread still runs.
    QVERIFY(QTest::qWaitFor([&] { return bar->value() == 1; }, 5000));
    QVERIFY(rig.Find<QLabel>(ui::kStatusLabel)->text().endsWith("file0"));
    bool ticked = false;
    QTimer::singleShot(10, [&] { ticked = true; });
    QVERIFY(QTest::qWaitFor([&] { return ticked; }, 2000));
    QVERIFY(rig.window->Installing());
    QVERIFY(!rig.window->close());  // no closing under a running install
    QVERIFY(rig.window->isVisible());
    QTest::keyClick(rig.window.get(), Qt::Key_Return);
    QCOMPARE(int(rig.Current()), int(Page::Progress));
    rig.engine->Release();
    QVERIFY(QTest::qWaitFor([&] { return rig.Current() != Page::Progress || bar->value() == 4; },
                            5000));
    QVERIFY(rig.WaitFor(Page::Finish));
    QVERIFY(!rig.window->Installing());
    QCOMPARE(rig.host.quits, 0);
}

void WizardTest::splashThenFrame() {
    QTemporaryDir dir;
    QImage art(120, 80, QImage::Format_RGB32);
    art.fill(Qt::darkBlue);
    QVERIFY(art.save(dir.filePath(QStringLiteral("welcome")), "PNG"));
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    Rig rig([](FakeEngine& e) { e.general.showFlash = true; }, 100);
    QDir::setCurrent(old);
    QVERIFY(rig.created);
    QCOMPARE(int(rig.Current()), int(Page::None));
    QVERIFY(qAbs(rig.window->windowOpacity() - 229.0 / 255.0) < 0.01);
    auto* splash = rig.Find(ui::kSplash);
    QVERIFY(splash != nullptr);
    QCOMPARE(splash->size(), QSize(120, 80));
    QCOMPARE(rig.Button(ui::kNext), nullptr);
    QVERIFY(rig.WaitFor(Page::Licence, 3000));
    QCOMPARE(rig.Find(ui::kSplash), nullptr);
    QCOMPARE(rig.window->windowOpacity(), 1.0);
    QCOMPARE(rig.window->size(), QSize(ui::kWidth, ui::kHeight));
    QVERIFY(rig.window->isVisible());
}

void WizardTest::licenceTextFromWorkingDirectory() {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("license.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("第一条 许可范围\n").toUtf8());
    file.close();
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    Rig rig([](FakeEngine&) {});
    QDir::setCurrent(old);
    QCOMPARE(rig.Find<QTextEdit>(ui::kLicenceText)->toPlainText(),
             QStringLiteral("第一条 许可范围\n"));
    QVERIFY(rig.Find<QTextEdit>(ui::kLicenceText)->isReadOnly());
    Rig missing([](FakeEngine&) {});
    QCOMPARE(missing.Find<QTextEdit>(ui::kLicenceText)->toPlainText(), QString());
}

int RunWizardTests(int argc, char** argv) {
    WizardTest t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace zub::kitsetup::test

#include "wizard_test.moc"
