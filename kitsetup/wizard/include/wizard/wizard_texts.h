// Texts of the string table as the windows show them.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "kitsetup/string_table.h"
#include "wizard/wizard_engine.h"

namespace zub::kitsetup {

// The wizard's own texts, beside the program's string table; their ids lie
// above the table's.
enum WizardTextId : int {
    kTextNotAbsolute = 300,
    kTextNotFolder,
    kTextNotWritable,
    kTextNoSpace,
    kTextSpace,
    kTextSpaceUnknown,
    kTextFinishFailed,
    kTextLogAt,
    kTextFailedSeeLog,
    kTextFailedNoLog,
    kTextNothingSeeLog,
    kTextNothingNoLog,
    kTextNotFolderCaption,
};

// A text of the wizard or of the string table; "" for an unknown id.
const wchar_t* Text(int id);

inline QString Q(const std::wstring& s) { return QString::fromStdWString(s); }
inline std::wstring W(const QString& s) { return s.toStdWString(); }
inline QString Str(int id) { return QString::fromWCharArray(Text(id)); }

template <typename... A>
QString StrF(int id, const A&... args) {
    return Q(Fmt(Text(id), args...));
}

// A path a label may wrap: a break is allowed after every separator.
QString Breakable(const QString& path);

// Bytes as the wizard shows sizes ("12.5 MB").
QString SizeText(unsigned long long bytes);

// The confirmation page's summary: the install path and the caption of every
// selected module (its name when the script has no such module).
std::wstring ConfirmationText(const std::wstring& installPath, const std::wstring& selection,
                              const std::vector<WizardModule>& modules);

// Windows line breaks as a text control here wants them.
QString ForDisplay(const std::wstring& text);

}  // namespace zub::kitsetup
