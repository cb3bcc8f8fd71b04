#include "cadlink/proe_version.h"

#include <array>

#include "reg_access.h"

namespace ZUBCAX {
namespace {

constexpr std::array<const wchar_t*, 4> kKnownVersions = {L"Wildfire 2.0", L"Wildfire 3.0",
                                                          L"Wildfire 4.0", L"Wildfire 5.0"};

// Local paths of this port use '/'.
constexpr wchar_t kLauncher[] = L"/bin/proe1.bat";
constexpr wchar_t kMessageServer[] = L"/i486_nt/obj/pro_comm_msg.exe";

}  // namespace

CProeVersion::CProeVersion() : CCaxVersion(kVendorKey, L"") {}

std::wstring CProeVersion::GetCadName() { return L"Pro/Engineer"; }

int CProeVersion::GetCadNumber() { return 2; }

std::wstring CProeVersion::AcceptVersion(const std::wstring& subkeyName) {
    for (const wchar_t* known : kKnownVersions) {
        if (subkeyName == known) return subkeyName;
    }
    return {};
}

std::wstring CProeVersion::InstallDir(const std::wstring& version) {
    if (version.empty()) return {};
    const std::wstring versionKey = vendorKey() + L"\\" + version;
    const auto builds = reg::SubKeyNames(reg::Hive::LocalMachine, versionKey, true);
    if (!builds || builds->empty() || builds->front().size() > kMaxName) return {};
    const auto dir = reg::ReadString(reg::Hive::LocalMachine, versionKey + L"\\" + builds->front(),
                                     L"InstallDir", true);
    if (!dir || dir->size() > kMaxName) return {};
    return *dir;
}

bool CProeVersion::SetCurrentVersion(const std::wstring& name) {
    if (!CCaxVersion::SetCurrentVersion(name)) return false;
    const std::wstring dir = InstallDir(name);
    if (dir.empty()) return false;
    return reg::WriteString(reg::Hive::LocalMachine, kEnvironmentKey, kMessageServerValue,
                            dir + kMessageServer);
}

std::wstring CProeVersion::GetLauncherPath() {
    std::wstring version = GetCurrentVersion();
    if (version.empty()) {
        std::vector<std::wstring> list;
        version = GetLatestVersion(list);
        if (!version.empty()) SetCurrentVersion(version);
    }
    const std::wstring dir = InstallDir(version);
    return dir.empty() ? std::wstring() : dir + kLauncher;
}

}  // namespace ZUBCAX
