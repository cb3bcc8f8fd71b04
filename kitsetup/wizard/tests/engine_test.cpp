// The wizard over the real install manager, in the sandbox main() sets up.
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "fake_engine.h"
#include "wizard/frmmain.h"
#include "wizard/geometry.h"
#include "wizard/mgr_engine.h"
#include "wizard/wizard_texts.h"

namespace zub::kitsetup::test {

namespace {

const char* const kScript = R"(<?xml version="1.0" encoding="UTF-8"?>
<root>
  <GENERAL companyName="Acme" companyAlias="acme" productName="示例产品" productAlias="demo"
           productInReg="demo" version="3.2" showFlash="0" showLicense="0" promptRestart="0"/>
  <INSTALLTYPES>
    <INSTALLTYPE name="完整" mds="core,extra"/>
    <INSTALLTYPE name="核心" mds="core"/>
  </INSTALLTYPES>
  <MODULES>
    <MODULE name="extra" caption="附加" fgs="fx"/>
    <MODULE name="core" caption="核心" fgs="fc" checks="svc"/>
    <MODULE name="core" caption="重复" fgs="fx"/>
  </MODULES>
  <CHECKS>
    <CHECK name="svc" paras="chkService,zub-no-such-service" actionsWhenFails="fix"
           caption="服务" failMsg="请安装服务"/>
  </CHECKS>
  <ACTIONS>
    <ACTION name="fix" progName="true" exePostion="exeCurrentPath"/>
  </ACTIONS>
  <FILEGROUPS>
    <FILEGROUP name="fc" target="0" files="a.txt"/>
    <FILEGROUP name="fx" target="0" files="sub"/>
  </FILEGROUPS>
</root>
)";

bool Write(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// A payload folder made the working directory for the object's lifetime.
class Payload {
public:
    explicit Payload(const QByteArray& script = kScript) : old_(QDir::currentPath()) {
        ok_ = dir_.isValid() && QDir(dir_.path()).mkpath(QStringLiteral("source/sub")) &&
              Write(dir_.filePath(QStringLiteral("install.xml")), script) &&
              Write(dir_.filePath(QStringLiteral("source/a.txt")), "a") &&
              Write(dir_.filePath(QStringLiteral("source/sub/b.txt")), "b") &&
              QDir::setCurrent(dir_.path());
    }
    ~Payload() { QDir::setCurrent(old_); }
    Payload(const Payload&) = delete;
    Payload& operator=(const Payload&) = delete;
    bool ok() const { return ok_; }

private:
    QString old_;
    QTemporaryDir dir_;
    bool ok_ = false;
};

}  // namespace

class EngineTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void adapterReadsTheScript();
    void wholeInstallThenAlreadyInstalled();
    void failedInstallSaysSoAndNamesItsLog();
};

void EngineTest::adapterReadsTheScript() {
    Payload payload;
    QVERIFY(payload.ok());
    MgrEngine e;
    QCOMPARE(e.LoadScript(), 0);
    QCOMPARE(e.PrepareAndFindInstalled(), std::wstring());
    const auto modules = e.ModuleList();
    QCOMPARE(modules.size(), std::size_t{2});  // the second "core" is dropped
    QCOMPARE(modules[0].name, std::wstring(L"extra"));
    QCOMPARE(modules[0].index, 0);
    QCOMPARE(modules[1].caption, std::wstring(L"核心"));
    QCOMPARE(modules[1].index, 1);
    QCOMPARE(e.ModuleCount(), std::size_t{2});
    const auto types = e.InstallTypes();
    QCOMPARE(types.size(), std::size_t{3});
    QCOMPARE(types.back().name, std::wstring(L"自定义"));
    e.SetSelection(L"core");
    QCOMPARE(e.CountFiles(), 1);
    const auto checks = e.RunChecks();
    QCOMPARE(checks.size(), std::size_t{1});
    QCOMPARE(checks[0].caption, std::wstring(L"服务"));
    QVERIFY(!checks[0].passed);
    QVERIFY(!checks[0].blocking);
    QCOMPARE(e.PayloadBytes(), 2ull);  // a.txt and sub/b.txt, one byte each

    MgrEngine broken;
    QFile::remove(QStringLiteral("install.xml"));
    QVERIFY(broken.LoadScript() != 0);
    QCOMPARE(broken.LastError(), std::wstring(L"Document not parsed successfully. \n"));
}

void EngineTest::wholeInstallThenAlreadyInstalled() {
    Payload payload;
    QVERIFY(payload.ok());
    FakeHost host;
    auto engine = std::make_unique<MgrEngine>();
    MgrEngine* mgr = engine.get();
    frmMain window(std::move(engine), host, 0);
    QVERIFY(window.Create());
    window.show();
    auto* next = window.findChild<QPushButton*>(ControlName(ui::kNext));
    const std::wstring dir = mgr->InstallPath();
    for (const Page expected : {Page::InstallType, Page::Check, Page::Confirm}) {
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(int(window.CurrentPage()), int(expected));
    }
    QCOMPARE(mgr->Manager().checkFailActions, std::wstring(L"fix"));
    QTest::mouseClick(next, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return window.CurrentPage() == Page::Finish; }, 10000));
    QVERIFY2(window.Succeeded(), qPrintable(Q(mgr->LastError())));
    QVERIFY(host.messages.empty());
    const QString installed = Q(dir);
    QVERIFY(QFile::exists(installed + QStringLiteral("/a.txt")));
    QVERIFY(QFile::exists(installed + QStringLiteral("/sub/b.txt")));
    QFile log(Q(mgr->InstallLogPath()));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral("安装成功 =====")));

    FakeHost again;
    frmMain second(std::make_unique<MgrEngine>(), again, 0);
    QVERIFY(!second.Create());
    QCOMPARE(again.messages.size(), std::size_t{1});
    QCOMPARE(again.messages[0].text,
             QStringLiteral("本机已安装过 示例产品(3.2), 请先卸载再重新安装。"));
}

void EngineTest::failedInstallSaysSoAndNamesItsLog() {
    // A product of its own: the one above is installed now.
    Payload payload(
        QByteArray(kScript).replace("productInReg=\"demo\"", "productInReg=\"demo-blocked\""));
    QVERIFY(payload.ok());
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("blocked/示例"));
    FakeHost host;
    auto engine = std::make_unique<MgrEngine>();
    MgrEngine* mgr = engine.get();
    frmMain window(std::move(engine), host, 0);
    QVERIFY(window.Create());
    window.show();
    auto* next = window.findChild<QPushButton*>(ControlName(ui::kNext));
    auto* edit = window.findChild<QLineEdit*>(ControlName(ui::kFolderEdit));
    edit->selectAll();
    QInputMethodEvent typed;
    typed.setCommitString(folder);
    QCoreApplication::sendEvent(edit, &typed);
    QTest::mouseClick(next, Qt::LeftButton);  // the folder can be made: accepted
    QCOMPARE(int(window.CurrentPage()), int(Page::InstallType));
    // Then a file takes the place of a folder on the way.
    QVERIFY(Write(base.filePath(QStringLiteral("blocked")), "x"));
    for (int i = 0; i < 3 && window.CurrentPage() != Page::Progress; ++i) {
        QTest::mouseClick(next, Qt::LeftButton);
    }
    QVERIFY(QTest::qWaitFor([&] { return window.CurrentPage() == Page::Finish; }, 10000));
    QVERIFY(!window.Succeeded());
    QCOMPARE(host.messages.size(), std::size_t{1});
    const QString text = host.messages[0].text;
    QVERIFY2(!text.contains(QStringLiteral("InstallLog.log")), qPrintable(text));
    QVERIFY2(text.contains(folder), qPrintable(text));  // the reason comes first
    // Either the log is named and holds the outcome, or the text says none was written.
    const QString marker = QStringLiteral("安装日志：\n");
    if (text.contains(marker)) {
        QFile log(text.mid(text.indexOf(marker) + marker.size()));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral("安装过程中出现错误")));
        QCOMPARE(log.fileName(), Q(mgr->InstallLogPath()));
    } else {
        QVERIFY2(text.endsWith(QStringLiteral("安装失败，安装日志未能写入。")), qPrintable(text));
    }
    QStringList labels;
    for (const QLabel* l : window.findChildren<QLabel*>()) labels << l->text();
    QVERIFY2(labels.contains(QStringLiteral("未能完成安装[示例产品]")),
             qPrintable(labels.join('|')));
}

int RunEngineTests(int argc, char** argv) {
    EngineTest t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace zub::kitsetup::test

#include "engine_test.moc"
