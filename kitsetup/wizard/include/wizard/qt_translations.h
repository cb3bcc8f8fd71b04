// Qt's own texts (dialog buttons, the folder dialog) in the wizard's
// language: the one the program chose for its own texts.
#pragma once

#include <QTranslator>
#include <memory>

namespace zub::kitsetup {

// Sets Qt's default locale to the program's language and, for Chinese,
// installs Qt's Chinese translations into the running application. nullptr
// for English (Qt's own language) or when they are not on this machine (Qt
// then stays in English). The application uses them as long as the
// translator lives.
std::unique_ptr<QTranslator> LoadQtTranslations();

// Constructing the application sets the C locale from the environment again;
// this keeps the message locale gettext needs to honour the chosen language.
// Call right after the application is made.
void KeepMessageLocale();

}  // namespace zub::kitsetup
