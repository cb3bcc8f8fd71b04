// The wizard and Qt's own dialogs speak the language the program chose: the
// class runs once under a Chinese and once under an English environment.
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "fake_engine.h"
#include "wizard/folder_browser.h"
#include "wizard/frmmain.h"
#include "wizard/geometry.h"
#include "wizard/qt_host.h"
#include "wizard/qt_translations.h"
#include "wizard/wizard_texts.h"
#include "zub/i18n.h"

Q_DECLARE_METATYPE(std::function<QString()>)

namespace zub::kitsetup::test {

namespace {

bool Chinese() { return zub::i18n::Current() == zub::i18n::Language::Chinese; }

QString BoxButton(bool question, QMessageBox::StandardButton which) {
    const auto box =
        QtHost::MakeBox(nullptr, QStringLiteral("text"), QStringLiteral("caption"), question);
    return box->button(which)->text();
}

QString FolderDialogText(const std::function<QString(FolderBrowser&)>& read) {
    FolderBrowser dialog(nullptr, QDir::tempPath(), {});
    return read(dialog);
}

}  // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qtTexts_ = LoadQtTranslations(); }
    void cleanupTestCase() { qtTexts_.reset(); }

    void qtIsTranslatedOnlyForChinese() { QCOMPARE(qtTexts_ != nullptr, Chinese()); }

    void wizardAndDialogTexts_data() {
        QTest::addColumn<QString>("zh");
        QTest::addColumn<QString>("en");
        QTest::addColumn<std::function<QString()>>("text");
        const auto page = [](int id) {
            return [id] {
                FakeHost host;
                auto engine = std::make_unique<FakeEngine>();
                StandardScript(*engine);
                engine->general.productName = L"Vault";
                engine->general.showLicense = false;
                engine->general.showFlash = false;
                frmMain window(std::move(engine), host, 0);
                if (!window.Create()) return QStringLiteral("not created");
                if (id == 0) return window.windowTitle();
                return window.findChild<QWidget*>(ControlName(id))->property("text").toString();
            };
        };
        QTest::newRow("window title")
            << QStringLiteral("Vault 安装") << QStringLiteral("Vault Install")
            << std::function<QString()>(page(0));
        QTest::newRow("page heading")
            << QStringLiteral("请选择安装位置") << QStringLiteral("Choose the install location")
            << std::function<QString()>(page(ui::kHeading));
        QTest::newRow("next button") << QStringLiteral("下一步") << QStringLiteral("Next")
                                     << std::function<QString()>(page(ui::kNext));
        QTest::newRow("question: yes")
            << QStringLiteral("是(&Y)") << QStringLiteral("&Yes")
            << std::function<QString()>([] { return BoxButton(true, QMessageBox::Yes); });
        QTest::newRow("question: no")
            << QStringLiteral("否(&N)") << QStringLiteral("&No")
            << std::function<QString()>([] { return BoxButton(true, QMessageBox::No); });
        QTest::newRow("message: ok")
            << QStringLiteral("确定") << QStringLiteral("OK")
            << std::function<QString()>([] { return BoxButton(false, QMessageBox::Ok); });
        QTest::newRow("folder dialog title")
            << QStringLiteral("选择文件夹") << QStringLiteral("Choose folder")
            << std::function<QString()>([] {
                   return FolderDialogText([](FolderBrowser& d) { return d.windowTitle(); });
               });
        QTest::newRow("folder dialog cancel")
            << QStringLiteral("取消") << QStringLiteral("Cancel") << std::function<QString()>([] {
                   return FolderDialogText([](FolderBrowser& d) {
                       return d.findChild<QDialogButtonBox*>()
                           ->button(QDialogButtonBox::Cancel)
                           ->text();
                   });
               });
    }
    void wizardAndDialogTexts() {
        QFETCH(QString, zh);
        QFETCH(QString, en);
        QFETCH(std::function<QString()>, text);
        QCOMPARE(text(), Chinese() ? zh : en);
    }

private:
    std::unique_ptr<QTranslator> qtTexts_;
};

int RunLanguageTests(int argc, char** argv) {
    LanguageTest t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace zub::kitsetup::test

#include "language_test.moc"
