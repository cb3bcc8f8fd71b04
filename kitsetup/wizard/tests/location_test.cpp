// The location page, the folder dialog and the fitting of long texts.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <climits>

#include "fake_engine.h"
#include "wizard/folder_browser.h"
#include "wizard/folder_check.h"
#include "wizard/frmmain.h"
#include "wizard/geometry.h"
#include "wizard/qt_translations.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup::test {

namespace {

using Verdict = FolderCheck::Verdict;

// Nothing below /proc can be made, not even by root.
const QString kUnwritable = QStringLiteral("/proc/zub-nowhere/vault");

QString Unbroken(QString s) { return s.remove(QChar(0x200b)); }

// True when every line of the label's text fits its width and all lines fit
// its height.
bool FitsLabel(const QLabel& label) {
    return label.heightForWidth(label.width()) <= label.height() &&
           label.minimumSizeHint().width() <= label.width();
}

struct Window {
    explicit Window(const std::function<void(FakeEngine&)>& setup) {
        auto e = std::make_unique<FakeEngine>();
        StandardScript(*e);
        e->general.showLicense = false;
        setup(*e);
        engine = e.get();
        window = std::make_unique<frmMain>(std::move(e), host, 0);
        created = window->Create();
        window->show();
    }
    template <typename T = QWidget>
    T* Find(int id) const {
        return window->findChild<T*>(ControlName(id));
    }
    void Next() const { QTest::mouseClick(Find<QPushButton>(ui::kNext), Qt::LeftButton); }
    void Type(const QString& text) const {
        auto* edit = Find<QLineEdit>(ui::kFolderEdit);
        edit->selectAll();
        // As an input method delivers it: any text, typed or pasted.
        QInputMethodEvent typed;
        typed.setCommitString(text);
        QCoreApplication::sendEvent(edit, &typed);
    }

    FakeHost host;
    FakeEngine* engine = nullptr;
    std::unique_ptr<frmMain> window;
    bool created = false;
};

}  // namespace

class LocationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void folderVerdicts_data();
    void folderVerdicts();
    void typedFolderIsCheckedBeforeNext_data();
    void typedFolderIsCheckedBeforeNext();
    void longPathShowsWhole();
    void spaceLineShowsPayloadAndFree();
    void browserStartsAtChoiceAndTakesNewFolder_data();
    void browserStartsAtChoiceAndTakesNewFolder();
    void browserRefusesAFile();
    void qtTextsAreChinese();
    void moduleCaptionsFit();

private:
    QTemporaryDir tmp_;
};

void LocationTest::folderVerdicts_data() {
    QTest::addColumn<QString>("text");  // "@" stands for the temporary folder
    QTest::addColumn<qulonglong>("needed");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("existing");
    const qulonglong small = 1024;
    QTest::newRow("empty") << "" << small << int(Verdict::NotAbsolute) << ""
                           << "";
    QTest::newRow("relative") << "zub/vault" << small << int(Verdict::NotAbsolute) << ""
                              << "";
    QTest::newRow("existing folder") << "@" << small << int(Verdict::Ok) << "@"
                                     << "@";
    QTest::newRow("folder to be made")
        << " @//new/./文档库/deeper/ " << small << int(Verdict::Ok) << "@/new/文档库/deeper"
        << "@";
    QTest::newRow("a file on the way")
        << "@/file/sub" << small << int(Verdict::NotFolder) << "@/file/sub"
        << "@/file";
    QTest::newRow("a file itself") << "@/file" << small << int(Verdict::NotFolder) << "@/file"
                                   << "@/file";
    QTest::newRow("unwritable") << kUnwritable << small << int(Verdict::NotWritable) << kUnwritable
                                << "/proc";
    QTest::newRow("no space") << "@/new" << qulonglong(ULLONG_MAX / 2) << int(Verdict::NoSpace)
                              << "@/new"
                              << "@";
}

void LocationTest::folderVerdicts() {
    QFETCH(QString, text);
    QFETCH(qulonglong, needed);
    QFETCH(int, verdict);
    QFETCH(QString, path);
    QFETCH(QString, existing);
    QVERIFY(tmp_.isValid());
    QFile file(tmp_.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const auto at = [this](QString s) { return s.replace('@', tmp_.path()); };

    const FolderCheck check(at(text), needed);
    QCOMPARE(int(check.Judge()), verdict);
    QCOMPARE(check.Path(), at(path));
    QCOMPARE(check.Existing(), at(existing));
    if (check.Judge() != Verdict::Ok) {
        const QString why = check.Explain(check.Judge());
        QVERIFY(!why.isEmpty());
        if (!check.Path().isEmpty()) QVERIFY2(why.contains(check.Path()), qPrintable(why));
    }
    // Judging makes nothing: only the planted file is there.
    QCOMPARE(QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("file")});
}

void LocationTest::typedFolderIsCheckedBeforeNext_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("refused");
    QTest::newRow("unwritable") << kUnwritable << true;
    QTest::newRow("relative") << QStringLiteral("opt/vault") << true;
    QTest::newRow("new folder") << QStringLiteral("@/新 目录/vault") << false;
}

void LocationTest::typedFolderIsCheckedBeforeNext() {
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    typed.replace('@', tmp_.path());
    Window w([](FakeEngine&) {});
    QVERIFY(w.created);
    QCOMPARE(int(w.window->CurrentPage()), int(Page::Location));
    auto* edit = w.Find<QLineEdit>(ui::kFolderEdit);
    QVERIFY(!edit->isReadOnly());
    w.Type(typed);
    QCOMPARE(w.engine->path, W(typed));
    QCOMPARE(edit->toolTip(), typed);
    w.Next();
    QCOMPARE(int(w.window->CurrentPage()), int(refused ? Page::Location : Page::InstallType));
    QCOMPARE(w.host.messages.size(), std::size_t{refused ? 1u : 0u});
    if (refused) {
        QCOMPARE(w.host.messages[0].text,
                 FolderCheck(typed, 0).Explain(FolderCheck(typed, 0).Judge()));
        // Enter is Next too, and is refused the same way.
        QTest::keyClick(w.window.get(), Qt::Key_Return);
        QCOMPARE(w.host.messages.size(), std::size_t{2});
        QCOMPARE(int(w.window->CurrentPage()), int(Page::Location));
    } else {
        QVERIFY(!QFileInfo::exists(typed));  // made by the install, not here
    }
}

void LocationTest::longPathShowsWhole() {
    const QString longPath =
        QStringLiteral("/opt/zubrino/") +
        QString(QStringLiteral("很长的文件夹名称-long-folder-name/")).repeated(3) +
        QStringLiteral("zubvault-产品-安装-目录");
    QVERIFY(longPath.size() > 100);
    Window w([&](FakeEngine& e) { e.path = W(longPath); });
    auto* edit = w.Find<QLineEdit>(ui::kFolderEdit);
    QCOMPARE(edit->toolTip(), longPath);
    auto* whole = w.Find<QLabel>(ui::kFolderWhole);
    QVERIFY(whole != nullptr);
    QCOMPARE(Unbroken(whole->text()), longPath);
    QVERIFY(FitsLabel(*whole));
    // The field shows the start of the path, where it differs least.
    QCOMPARE(edit->cursorPosition(), 0);
}

void LocationTest::spaceLineShowsPayloadAndFree() {
    Window w([&](FakeEngine& e) {
        e.path = W(tmp_.path() + QStringLiteral("/v"));
        e.payloadBytes = 5ull * 1024 * 1024;
    });
    auto* space = w.Find<QLabel>(ui::kFolderSpace);
    QVERIFY(space != nullptr);
    QVERIFY2(space->text().startsWith(QStringLiteral("所需空间：5.0 MB")),
             qPrintable(space->text()));
    QVERIFY(space->text().contains(QStringLiteral("可用空间：")));
    // A text that is no folder has no disk to ask.
    w.Type(QStringLiteral("relative"));
    QCOMPARE(space->text(), QStringLiteral("所需空间：5.0 MB"));
    QCOMPARE(SizeText(0), QStringLiteral("0 B"));
    QCOMPARE(SizeText(1536), QStringLiteral("1.5 kB"));
}

void LocationTest::browserStartsAtChoiceAndTakesNewFolder_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("start");
    QTest::newRow("existing") << "@/have"
                              << "@/have";
    QTest::newRow("to be made") << "@/have/新/deeper"
                                << "@/have";
}

void LocationTest::browserStartsAtChoiceAndTakesNewFolder() {
    QFETCH(QString, initial);
    QFETCH(QString, start);
    initial.replace('@', tmp_.path());
    start.replace('@', tmp_.path());
    QVERIFY(QDir(tmp_.path()).mkpath(QStringLiteral("have")));
    int complaints = 0;
    FolderBrowser dialog(nullptr, initial,
                         [&](QWidget*, const QString&, const QString&) { ++complaints; });
    QCOMPARE(dialog.directory().absolutePath(), start);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Chosen(), initial);
    QCOMPARE(complaints, 0);
}

void LocationTest::browserRefusesAFile() {
    QFile file(tmp_.filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QStringList said;
    FolderBrowser dialog(
        nullptr, tmp_.filePath(QStringLiteral("file")),
        [&](QWidget*, const QString& text, const QString& caption) { said << text << caption; });
    QCOMPARE(dialog.directory().absolutePath(), tmp_.path());
    dialog.accept();
    QCOMPARE(said,
             (QStringList{tmp_.filePath(QStringLiteral("file")), QStringLiteral("不是文件夹")}));
    QVERIFY(dialog.Chosen().isEmpty());
    QVERIFY(dialog.result() != int(QDialog::Accepted));
}

void LocationTest::qtTextsAreChinese() {
    const auto english = [] {
        FolderBrowser dialog(nullptr, QDir::tempPath(), {});
        return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->text();
    };
    QCOMPARE(english(), QStringLiteral("Cancel"));
    {
        const std::unique_ptr<QTranslator> texts = LoadQtTranslations();
        QVERIFY(texts != nullptr);
        QCOMPARE(english(), QStringLiteral("取消"));
    }
    QCOMPARE(english(), QStringLiteral("Cancel"));
}

void LocationTest::moduleCaptionsFit() {
    const QString veryLong = QStringLiteral("非常长的模块说明文字-") +
                             QString(QStringLiteral("extra-long-caption-")).repeated(3) +
                             QStringLiteral("结尾");
    Window w([&](FakeEngine& e) {
        e.modules = {{L"vault", L"文档库命令行 vault", 0},
                     {L"vaultauto", L"自动化服务 VaultAuto", 1},
                     {L"long", W(veryLong), 2}};
        e.types = {{L"典型安装", L"vault,vaultauto"}, {L"自定义", L"vault,vaultauto,long"}};
    });
    w.Next();
    QCOMPARE(int(w.window->CurrentPage()), int(Page::InstallType));
    auto* list = w.Find<QTreeWidget>(ui::kModuleList);
    QTest::qWait(0);
    QVERIFY(!list->horizontalScrollBar()->isVisible());
    QCOMPARE(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());
    for (int row : {0, 1}) {
        QVERIFY2(
            list->columnWidth(0) >= list->sizeHintForIndex(list->model()->index(row, 0)).width(),
            qPrintable(list->topLevelItem(row)->text(0)));
    }
    QVERIFY(list->columnWidth(0) < list->sizeHintForIndex(list->model()->index(2, 0)).width());
    QCOMPARE(list->textElideMode(), Qt::ElideMiddle);
    QCOMPARE(list->topLevelItem(2)->toolTip(0), veryLong);
}

int RunLocationTests(int argc, char** argv) {
    LocationTest t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace zub::kitsetup::test

#include "location_test.moc"
