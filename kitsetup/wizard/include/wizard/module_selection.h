// The install-type page without its widgets: the radio buttons, the checked
// modules and the selection string they produce.
#pragma once

#include <string>
#include <vector>

#include "kitsetup/script.h"
#include "wizard/wizard_engine.h"

namespace zub::kitsetup {

class ModuleSelection {
public:
    // `selection` and `selectedType` are the manager's values when the page
    // opens.
    ModuleSelection(std::vector<InstallType> types, std::vector<WizardModule> modules,
                    std::wstring selection, int selectedType);

    // A click on type's radio button: re-checks the modules of that type
    // (the custom type keeps the current selection when clicked again).
    void ClickType(int type);
    // The user (or ClickType) sets item's check mark.
    void SetChecked(std::size_t item, bool on);

    bool IsChecked(std::size_t item) const { return checked_.at(item); }
    bool ListEnabled() const { return listEnabled_; }
    bool NextEnabled() const { return !selection_.empty(); }
    const std::wstring& Selection() const { return selection_; }
    int SelectedType() const { return selectedType_; }
    const std::vector<InstallType>& Types() const { return types_; }
    const std::vector<WizardModule>& Modules() const { return modules_; }

private:
    std::vector<InstallType> types_;
    std::vector<WizardModule> modules_;
    std::vector<bool> checked_;
    std::wstring selection_;
    int selectedType_;
    bool listEnabled_ = false;
};

}  // namespace zub::kitsetup
