#include "wizard/module_selection.h"

#include <algorithm>

#include "kitsetup/lists.h"

namespace zub::kitsetup {

namespace {

void RemoveName(std::wstring& list, const std::wstring& name) {
    std::wstring out;
    bool removed = false;
    for (const auto& item : SplitList(list, L",")) {
        if (!removed && item == name) {
            removed = true;
            continue;
        }
        if (!out.empty()) out += L",";
        out += item;
    }
    list = out;
}

}  // namespace

ModuleSelection::ModuleSelection(std::vector<InstallType> types, std::vector<WizardModule> modules,
                                 std::wstring selection, int selectedType)
    : types_(std::move(types)),
      modules_(std::move(modules)),
      checked_(modules_.size(), false),
      selection_(std::move(selection)),
      selectedType_(selectedType) {}

void ModuleSelection::ClickType(int type) {
    if (type < 0 || static_cast<std::size_t>(type) >= types_.size()) return;
    const bool custom = static_cast<std::size_t>(type) + 1 == types_.size();
    listEnabled_ = custom;
    std::fill(checked_.begin(), checked_.end(), false);
    const std::wstring apply =
        custom && type == selectedType_ ? selection_ : types_[static_cast<std::size_t>(type)].mds;
    selectedType_ = type;
    selection_.clear();
    for (const auto& name : SplitList(apply, L",")) {
        const auto it = std::find_if(modules_.begin(), modules_.end(),
                                     [&](const WizardModule& m) { return m.name == name; });
        if (it != modules_.end()) SetChecked(static_cast<std::size_t>(it - modules_.begin()), true);
    }
}

void ModuleSelection::SetChecked(std::size_t item, bool on) {
    if (item >= checked_.size() || checked_[item] == on) return;
    checked_[item] = on;
    const std::wstring& name = modules_[item].name;
    if (on) {
        selection_ = selection_.empty() ? name : selection_ + L"," + name;
    } else {
        RemoveName(selection_, name);
    }
}

}  // namespace zub::kitsetup
