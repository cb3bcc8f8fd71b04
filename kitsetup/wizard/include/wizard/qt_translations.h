// Qt's own texts (dialog buttons, the folder dialog) in the wizard's
// language, Chinese (PRC).
#pragma once

#include <QTranslator>
#include <memory>

namespace zub::kitsetup {

// Installs Qt's translations into the running application; nullptr when
// they are not on this machine (Qt then stays in English). The application
// uses them as long as the translator lives.
std::unique_ptr<QTranslator> LoadQtTranslations();

}  // namespace zub::kitsetup
