// The wizard's logic without windows: page flow, module selection, texts.
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "wizard/folder_browser.h"
#include "wizard/module_selection.h"
#include "wizard/page_flow.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup::test {

class LogicTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pageState_data();
    void pageState();
    void skipRuleNeedsExactlyTwoTypesAndOneModule_data();
    void skipRuleNeedsExactlyTwoTypesAndOneModule();
    void confirmBackDependsOnChecks();
    void finishedAndNothingToInstall();
    void selectionByType_data();
    void selectionByType();
    void customKeepsSelectionWhenClickedAgain();
    void uncheckingEmptiesSelection();
    void confirmationText();
    void nearestFolder();
    void browserTakesTypedFolder();
};

namespace {

const std::vector<InstallType> kTypes = {
    {L"典型", L"a,b"}, {L"最小", L"b,zz"}, {L"自定义", L"a,b,c"}};
const std::vector<WizardModule> kModules = {
    {L"a", L"模块A", 0}, {L"b", L"模块B", 1}, {L"c", L"模块C", 2}};

}  // namespace

void LogicTest::pageState_data() {
    QTest::addColumn<bool>("licence");
    QTest::addColumn<int>("types");
    QTest::addColumn<int>("modules");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("heading");
    QTest::addColumn<int>("back");
    QTest::addColumn<int>("backShow");
    QTest::addColumn<int>("next");
    QTest::addColumn<int>("nextText");
    QTest::addColumn<int>("cancelText");

    const auto row = [](const char* name, bool licence, int types, int modules, Page page,
                        int heading, Page back, Show backShow, Page next, int nextText,
                        int cancelText) {
        QTest::newRow(name) << licence << types << modules << int(page) << heading << int(back)
                            << int(backShow) << int(next) << nextText << cancelText;
    };
    row("licence", true, 3, 2, Page::Licence, 112, Page::None, Show::Hidden, Page::Location, 113,
        114);
    row("location", true, 3, 2, Page::Location, 117, Page::Licence, Show::Visible,
        Page::InstallType, 119, 120);
    row("location without licence", false, 3, 2, Page::Location, 117, Page::None, Show::Hidden,
        Page::InstallType, 119, 120);
    row("location skipping types", true, 2, 1, Page::Location, 117, Page::Licence, Show::Visible,
        Page::Check, 119, 120);
    row("install type", true, 3, 2, Page::InstallType, 121, Page::Location, Show::Visible,
        Page::Check, 119, 0);
    row("check", true, 3, 2, Page::Check, 122, Page::InstallType, Show::Visible, Page::Confirm, 119,
        0);
    row("check skipping types", false, 2, 1, Page::Check, 122, Page::Location, Show::Visible,
        Page::Confirm, 119, 0);
    row("progress", true, 3, 2, Page::Progress, 129, Page::None, Show::Keep, Page::None, 0, 0);
}

void LogicTest::pageState() {
    QFETCH(bool, licence);
    QFETCH(int, types);
    QFETCH(int, modules);
    QFETCH(int, page);
    const PageFlow flow(licence, types, modules);
    const PageState state = flow.State(static_cast<Page>(page));
    QTEST(state.headingId, "heading");
    QTEST(int(state.back.target), "back");
    QTEST(int(state.back.show), "backShow");
    QTEST(int(state.next.target), "next");
    QTEST(state.next.textId, "nextText");
    QTEST(state.cancel.textId, "cancelText");
    const bool progress = static_cast<Page>(page) == Page::Progress;
    QCOMPARE(state.back.enabled, !progress && state.back.target != Page::None);
    QCOMPARE(int(state.cancel.target), int(progress ? Page::None : Page::Quit));
    QCOMPARE(state.cancel.enabled, !progress);
}

void LogicTest::skipRuleNeedsExactlyTwoTypesAndOneModule_data() {
    QTest::addColumn<int>("types");
    QTest::addColumn<int>("modules");
    QTest::addColumn<bool>("skips");
    QTest::newRow("own type, one module") << 2 << 1 << true;
    QTest::newRow("custom only") << 1 << 1 << false;
    QTest::newRow("two own types") << 3 << 1 << false;
    QTest::newRow("two modules") << 2 << 2 << false;
}

void LogicTest::skipRuleNeedsExactlyTwoTypesAndOneModule() {
    QFETCH(int, types);
    QFETCH(int, modules);
    const PageFlow flow(true, types, modules);
    QTEST(flow.SkipsInstallType(), "skips");
    QTEST(flow.Forward(Page::InstallType) == Page::Check, "skips");
    QTEST(flow.Backward(Page::InstallType) == Page::Location, "skips");
}

void LogicTest::confirmBackDependsOnChecks() {
    PageFlow flow(true, 3, 2);
    QCOMPARE(int(flow.State(Page::Confirm).back.target), int(Page::InstallType));
    flow.SetHasChecks(true);
    QCOMPARE(int(flow.State(Page::Confirm).back.target), int(Page::Check));
    PageFlow skipping(true, 2, 1);
    QCOMPARE(int(skipping.State(Page::Confirm).back.target), int(Page::Location));
    QCOMPARE(skipping.State(Page::Confirm).next.textId, 126);
    QCOMPARE(int(skipping.State(Page::Confirm).next.target), int(Page::Progress));
}

void LogicTest::finishedAndNothingToInstall() {
    for (const bool success : {true, false}) {
        const PageState f = PageFlow::Finished(success);
        QCOMPARE(f.headingId, success ? 131 : 145);
        QCOMPARE(f.next.textId, 132);
        QCOMPARE(int(f.next.target), int(Page::Quit));
        QVERIFY(f.next.enabled);
        QCOMPARE(int(f.back.show), int(Show::Hidden));
        QCOMPARE(int(f.cancel.show), int(Show::Hidden));
        QVERIFY(!f.back.enabled && !f.cancel.enabled);
    }
    const PageState none = PageFlow::NothingToInstall();
    QCOMPARE(none.next.textId, 127);
    QVERIFY(!none.back.enabled && !none.next.enabled && none.cancel.enabled);
    QCOMPARE(int(none.cancel.target), int(Page::Quit));
    QCOMPARE(int(none.next.target), int(Page::None));
}

void LogicTest::selectionByType_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<bool>("listEnabled");
    QTest::newRow("typical") << 0 << 0 << "a,b"
                             << "110" << false;
    QTest::newRow("unknown module left out") << 0 << 1 << "b"
                                             << "010" << false;
    QTest::newRow("custom from another type") << 0 << 2 << "a,b,c"
                                              << "111" << true;
    QTest::newRow("back to typical") << 2 << 0 << "a,b"
                                     << "110" << false;
}

void LogicTest::selectionByType() {
    QFETCH(int, first);
    QFETCH(int, type);
    ModuleSelection s(kTypes, kModules, L"", 0);
    s.ClickType(first);
    s.ClickType(type);
    QTEST(Q(s.Selection()), "selection");
    QString checked;
    for (std::size_t i = 0; i < kModules.size(); ++i) checked += s.IsChecked(i) ? '1' : '0';
    QTEST(checked, "checked");
    QTEST(s.ListEnabled(), "listEnabled");
    QCOMPARE(s.SelectedType(), type);
    QVERIFY(s.NextEnabled());
}

void LogicTest::customKeepsSelectionWhenClickedAgain() {
    ModuleSelection s(kTypes, kModules, L"c,a", 2);
    s.ClickType(2);
    QCOMPARE(Q(s.Selection()), QStringLiteral("c,a"));
    QVERIFY(s.IsChecked(0) && !s.IsChecked(1) && s.IsChecked(2));
    // Coming from another type the custom type starts from its own list.
    ModuleSelection other(kTypes, kModules, L"c", 1);
    other.ClickType(2);
    QCOMPARE(Q(other.Selection()), QStringLiteral("a,b,c"));
}

void LogicTest::uncheckingEmptiesSelection() {
    ModuleSelection s(kTypes, kModules, L"", 0);
    s.ClickType(2);
    s.SetChecked(1, false);
    QCOMPARE(Q(s.Selection()), QStringLiteral("a,c"));
    s.SetChecked(0, false);
    s.SetChecked(2, false);
    QCOMPARE(Q(s.Selection()), QString());
    QVERIFY(!s.NextEnabled());
    s.SetChecked(1, true);
    s.SetChecked(1, true);  // no change, no second entry
    QCOMPARE(Q(s.Selection()), QStringLiteral("b"));
    QVERIFY(s.NextEnabled());
}

void LogicTest::confirmationText() {
    QCOMPARE(Q(ConfirmationText(L"/opt/acme/vault", L"b,zz", kModules)),
             QStringLiteral("当前安装路径:\r\n\t/opt/acme/vault\r\n\r\n当前选择的安装模块"
                            "\r\n\t模块B\r\n\tzz"));
    QCOMPARE(ForDisplay(L"x\r\n\ty"), QStringLiteral("x\n\ty"));
}

void LogicTest::nearestFolder() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QFile file(dir.filePath(QStringLiteral("plain")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QString d = dir.path();
    const std::vector<std::pair<QString, QString>> cases = {
        {d + "/sub", d + "/sub"}, {d + "/sub/新/deeper/", d + "/sub"},
        {d + "/plain/x", d},      {QStringLiteral("relative/sub"), QString()},
        {QString(), QString()},
    };
    for (const auto& [path, nearest] : cases) {
        QCOMPARE(FolderBrowser::NearestFolder(path), nearest);
    }
}

void LogicTest::browserTakesTypedFolder() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    int complaints = 0;
    FolderBrowser browser(nullptr, dir.path(),
                          [&](QWidget*, const QString&, const QString&) { ++complaints; });
    QCOMPARE(browser.windowTitle(), QStringLiteral("选择文件夹"));
    browser.show();
    auto* edit = browser.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit != nullptr);
    // A typed name counts from the folder the dialog shows, made or not.
    for (const QString& typed : {QStringLiteral("sub"), QStringLiteral("新文件夹/vault")}) {
        edit->setText(typed);
        browser.accept();
        QCOMPARE(browser.result(), int(QDialog::Accepted));
        QCOMPARE(browser.Chosen(), QDir(dir.path()).absoluteFilePath(typed));
    }
    QCOMPARE(complaints, 0);
}

int RunLogicTests(int argc, char** argv) {
    LogicTest t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace zub::kitsetup::test

#include "logic_test.moc"
