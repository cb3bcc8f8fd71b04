#include "cadlink/cax_version.h"

#include <algorithm>

#include "reg_access.h"

namespace ZUBCAX {

CCaxVersion::CCaxVersion(std::wstring vendorKey, std::wstring versionPrefix)
    : vendorKey_(std::move(vendorKey)), versionPrefix_(std::move(versionPrefix)) {}

CCaxVersion::~CCaxVersion() = default;

std::vector<std::wstring> CCaxVersion::InstalledVersions() {
    std::vector<std::wstring> versions;
    const auto names = reg::SubKeyNames(reg::Hive::LocalMachine, vendorKey_, true);
    if (!names) return versions;
    for (const std::wstring& name : *names) {
        if (name.size() > kMaxName) continue;
        if (!versionPrefix_.empty() &&
            name.compare(0, versionPrefix_.size(), versionPrefix_) != 0) {
            continue;
        }
        std::wstring accepted = AcceptVersion(name);
        if (!accepted.empty()) versions.push_back(std::move(accepted));
    }
    return versions;
}

std::wstring CCaxVersion::GetLatestVersion(std::vector<std::wstring>& list) {
    if (list.empty()) list = InstalledVersions();
    return list.empty() ? std::wstring() : list.back();
}

std::wstring CCaxVersion::GetLauncherPath() { return {}; }

std::wstring CCaxVersion::GetVersionPath(const std::wstring& /*name*/) { return {}; }

std::wstring CCaxVersion::FindVersion(const std::wstring& name) {
    std::vector<std::wstring> list = InstalledVersions();
    if (std::find(list.begin(), list.end(), name) != list.end()) return name;
    return GetLatestVersion(list);
}

std::wstring CCaxVersion::GetCurrentVersion() {
    const auto stored = reg::ReadString(reg::Hive::CurrentUser, kChoiceKey, GetCadName(), false);
    if (stored && !stored->empty() && stored->size() <= kMaxName) return *stored;
    std::vector<std::wstring> list;
    const std::wstring latest = GetLatestVersion(list);
    // Nothing installed: there is no choice to keep.
    if (latest.empty()) return {};
    return SetCurrentVersion(latest) ? latest : std::wstring();
}

bool CCaxVersion::SetCurrentVersion(const std::wstring& name) {
    return reg::WriteString(reg::Hive::CurrentUser, kChoiceKey, GetCadName(), name);
}

std::wstring CCaxVersion::AcceptVersion(const std::wstring& subkeyName) { return subkeyName; }

std::wstring CCaxVersion::MapVersion(const std::wstring& name) { return name; }

}  // namespace ZUBCAX
