#include "wizard/run_wizard.h"

#include <QApplication>
#include <optional>

#include "shot_driver.h"
#include "wizard/frmmain.h"
#include "wizard/geometry.h"
#include "wizard/mgr_engine.h"
#include "wizard/qt_host.h"
#include "wizard/qt_translations.h"

namespace zub::kitsetup {

int RunWizard(int argc, char** argv) {
    QApplication app(argc, argv);
    KeepMessageLocale();
    QApplication::setFont(CMyBaseWnd::DefaultGuiFont());
    const std::unique_ptr<QTranslator> qtTexts = LoadQtTranslations();

    const QString shots = qEnvironmentVariable("ZUB_WIZARD_SHOTS");
    std::optional<ShotBook> book;
    std::unique_ptr<QtHost> host;
    std::unique_ptr<WizardEngine> engine = std::make_unique<MgrEngine>();
    if (shots.isEmpty()) {
        host = std::make_unique<QtHost>();
    } else {
        book.emplace(shots);
        host = std::make_unique<ShotHost>(*book);
        engine = SlowedForShots(std::move(engine));
    }

    frmMain window(std::move(engine), *host, ui::kSplashMs);
    if (!window.Create()) return 1;
    if (book) {
        // Folders to try on the location page, separated by "|".
        const QStringList typed = qEnvironmentVariable("ZUB_WIZARD_SHOTS_TYPE")
                                      .split(QLatin1Char('|'), Qt::SkipEmptyParts);
        new ShotDriver(window, *book, typed);  // owned by the window
    }
    window.show();
    const int code = QApplication::exec();
    if (code != 0) return code;
    return window.CurrentPage() == Page::Finish && !window.Succeeded() ? 1 : 0;
}

}  // namespace zub::kitsetup
