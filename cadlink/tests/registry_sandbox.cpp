#include "registry_sandbox.h"

#include <filesystem>
#include <stdexcept>

#include "zub/platform/registry.h"
#include "zub/text.h"

namespace cadtest {
namespace zp = zub::platform;
namespace {

constexpr wchar_t kVendor[] = L"SOFTWARE\\PTC\\Pro/ENGINEER";
constexpr wchar_t kChoice[] = L"SOFTWARE\\zubrino\\cadserver\\CaxVer";
constexpr wchar_t kEnvironment[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

void Check(zp::Error error, const char* what) {
    if (error != zp::kErrorSuccess) throw std::runtime_error(what);
}

std::optional<std::wstring> Read(zp::RootKey root, const wchar_t* path, const wchar_t* name) {
    zp::RegKey key;
    if (zp::RegOpenKey(root, path, zp::kKeyRead, key) != zp::kErrorSuccess) return std::nullopt;
    std::wstring text;
    if (zp::RegGetString(key, name, text) != zp::kErrorSuccess) return std::nullopt;
    return text;
}

}  // namespace

std::wstring RegistrySandbox::file(const std::string& name) const {
    return zub::Utf8ToWide((path() / name).string());
}

void RegistrySandbox::Install(const std::wstring& version, const std::wstring& build,
                              const std::wstring& installDir) {
    zp::RegKey key;
    Check(zp::RegCreateKey(zp::RootKey::LocalMachine,
                           std::wstring(kVendor) + L"\\" + version + L"\\" + build, zp::kKeyWrite,
                           key),
          "create version key");
    Check(zp::RegSetString(key, L"InstallDir", installDir), "set InstallDir");
}

void RegistrySandbox::AddVendorSubkey(const std::wstring& name) {
    zp::RegKey key;
    Check(zp::RegCreateKey(zp::RootKey::LocalMachine, std::wstring(kVendor) + L"\\" + name,
                           zp::kKeyWrite, key),
          "create vendor subkey");
}

void RegistrySandbox::StoreChoice(const std::wstring& version) {
    zp::RegKey key;
    Check(zp::RegCreateKey(zp::RootKey::CurrentUser, kChoice, zp::kKeyWrite, key), "create choice");
    Check(zp::RegSetString(key, L"Pro/Engineer", version), "set choice");
}

std::optional<std::wstring> RegistrySandbox::StoredChoice() const {
    return Read(zp::RootKey::CurrentUser, kChoice, L"Pro/Engineer");
}

std::optional<std::wstring> RegistrySandbox::MessageServer() const {
    return Read(zp::RootKey::LocalMachine, kEnvironment, L"PRO_COMM_MSG_EXE");
}

void RegistrySandbox::LockMachineHive() {
    namespace fs = std::filesystem;
    const fs::path hive = zp::MachineHivePath();
    if (!fs::exists(hive)) throw std::runtime_error("no machine hive yet");
    fs::permissions(hive, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

}  // namespace cadtest
