#include "wizard/wizard_texts.h"

#include <algorithm>

#include "kitsetup/lists.h"

namespace kitsetup {

std::wstring ConfirmationText(const std::wstring& installPath, const std::wstring& selection,
                              const std::vector<WizardModule>& modules) {
    std::wstring text = LoadStr(140) + installPath + L"\r\n\r\n" + LoadStr(141);
    for (const auto& name : SplitList(selection, L",")) {
        const auto it = std::find_if(modules.begin(), modules.end(),
                                     [&](const WizardModule& m) { return m.name == name; });
        text += L"\r\n\t" + (it != modules.end() ? it->caption : name);
    }
    return text;
}

QString ForDisplay(const std::wstring& text) {
    QString s = Q(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

}  // namespace kitsetup
