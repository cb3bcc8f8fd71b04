#include "wizard/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <clocale>
#include <string_view>

#include "zub/i18n.h"

namespace zub::kitsetup {

std::unique_ptr<QTranslator> LoadQtTranslations() {
    if (zub::i18n::Current() != zub::i18n::Language::Chinese) {
        // Not the machine's locale: the wizard speaks English whatever LANG says.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        return nullptr;
    }
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return nullptr;
    }
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

void KeepMessageLocale() {
    const char* m = std::setlocale(LC_MESSAGES, nullptr);
    if (m == nullptr || std::string_view(m) == "C" || std::string_view(m) == "POSIX")
        std::setlocale(LC_MESSAGES, "C.UTF-8");
}

}  // namespace zub::kitsetup
