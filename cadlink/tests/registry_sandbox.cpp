#include "registry_sandbox.h"

#include <filesystem>
#include <stdexcept>

#include "zub/platform/registry.h"
#include "zub/text.h"

namespace zub::cadlink::test {
namespace pf = zub::platform;
namespace {

constexpr wchar_t kVendor[] = L"SOFTWARE\\PTC\\Pro/ENGINEER";
constexpr wchar_t kChoice[] = L"SOFTWARE\\zubrino\\cadserver\\CaxVer";
constexpr wchar_t kEnvironment[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

void Check(pf::Error error, const char* what) {
    if (error != pf::kErrorSuccess) throw std::runtime_error(what);
}

std::optional<std::wstring> Read(pf::RootKey root, const wchar_t* path, const wchar_t* name) {
    pf::RegKey key;
    if (pf::RegOpenKey(root, path, pf::kKeyRead, key) != pf::kErrorSuccess) return std::nullopt;
    std::wstring text;
    if (pf::RegGetString(key, name, text) != pf::kErrorSuccess) return std::nullopt;
    return text;
}

}  // namespace

std::wstring RegistrySandbox::file(const std::string& name) const {
    return zub::Utf8ToWide((path() / name).string());
}

void RegistrySandbox::Install(const std::wstring& version, const std::wstring& build,
                              const std::wstring& installDir) {
    pf::RegKey key;
    Check(pf::RegCreateKey(pf::RootKey::LocalMachine,
                           std::wstring(kVendor) + L"\\" + version + L"\\" + build, pf::kKeyWrite,
                           key),
          "create version key");
    Check(pf::RegSetString(key, L"InstallDir", installDir), "set InstallDir");
}

void RegistrySandbox::AddVendorSubkey(const std::wstring& name) {
    pf::RegKey key;
    Check(pf::RegCreateKey(pf::RootKey::LocalMachine, std::wstring(kVendor) + L"\\" + name,
                           pf::kKeyWrite, key),
          "create vendor subkey");
}

void RegistrySandbox::StoreChoice(const std::wstring& version) {
    pf::RegKey key;
    Check(pf::RegCreateKey(pf::RootKey::CurrentUser, kChoice, pf::kKeyWrite, key), "create choice");
    Check(pf::RegSetString(key, L"Pro/Engineer", version), "set choice");
}

std::optional<std::wstring> RegistrySandbox::StoredChoice() const {
    return Read(pf::RootKey::CurrentUser, kChoice, L"Pro/Engineer");
}

std::optional<std::wstring> RegistrySandbox::MessageServer() const {
    return Read(pf::RootKey::LocalMachine, kEnvironment, L"PRO_COMM_MSG_EXE");
}

void RegistrySandbox::LockMachineHive() {
    namespace fs = std::filesystem;
    const fs::path hive = pf::MachineHivePath();
    if (!fs::exists(hive)) throw std::runtime_error("no machine hive yet");
    fs::permissions(hive, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

}  // namespace zub::cadlink::test
