// Texts of the string table as the windows show them.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "kitsetup/string_table.h"
#include "wizard/wizard_engine.h"

namespace kitsetup {

inline QString Q(const std::wstring& s) { return QString::fromStdWString(s); }
inline std::wstring W(const QString& s) { return s.toStdWString(); }
inline QString Str(int id) { return QString::fromWCharArray(LoadStr(id)); }

template <typename... A>
QString StrF(int id, const A&... args) {
    return Q(FmtId(id, args...));
}

// The confirmation page's summary: the install path and the caption of every
// selected module (its name when the script has no such module).
std::wstring ConfirmationText(const std::wstring& installPath, const std::wstring& selection,
                              const std::vector<WizardModule>& modules);

// Windows line breaks as a text control here wants them.
QString ForDisplay(const std::wstring& text);

}  // namespace kitsetup
