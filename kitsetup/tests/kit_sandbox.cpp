#include "kit_sandbox.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "kitsetup/install_log.h"
#include "zub/i18n.h"
#include "zub/platform/registry.h"
#include "zub/text.h"

namespace zub::kitsetup::test {

namespace pf = zub::platform;

namespace {

// The tests compare the installer's texts in Chinese, whatever the machine's
// locale: this process and the installers it starts speak Chinese unless a
// test says otherwise.
[[maybe_unused]] const bool kChinese = [] {
    for (const char* v : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) ::unsetenv(v);
    ::setenv("LANG", "zh_CN.UTF-8", 1);
    zub::i18n::Init("kitsetup");
    return true;
}();

}  // namespace

void KitSandbox::SetUp() {
    for (const auto& d : {Payload() / "source", Bin()}) fs::create_directories(d);
    SetEnv("ZUB_PRIVILEGED", std::nullopt);
    const char* path = std::getenv("PATH");
    SetEnv("PATH", Bin().string() + ":" + (path ? path : "/usr/bin:/bin"));
    savedCwd_ = fs::current_path();
    fs::current_path(Payload());
    savedLog_ = InstallLog::Path();
    InstallLog::SetPath(InstallLog::DefaultPath());
    InstallLog::SetDebug(false);
}

void KitSandbox::TearDown() {
    fs::current_path(savedCwd_);
    InstallLog::SetPath(savedLog_);
    InstallLog::SetDebug(false);
}

void KitSandbox::SetEnv(const std::string& name, const std::optional<std::string>& value) {
    box_.SetEnv(name, value);
}

std::string KitSandbox::ScriptXml(const std::string& body, const std::string& general) {
    return "<?xml version='1.0' encoding='UTF-8'?>\n<root><GENERAL companyName='Zub Co' "
           "companyAlias='zubco' productName='Zub Vault' productAlias='vault' "
           "productInReg='vault' version='1.2' " +
           general + "/>" + body + "</root>\n";
}

void KitSandbox::WriteScript(const std::string& xml) const {
    WriteFile(Payload() / "install.xml", xml);
}

void KitSandbox::WriteSource(const std::string& rel, const std::string& content) const {
    WriteFile(Payload() / "source" / rel, content);
}

void KitSandbox::WriteProgram(const fs::path& path, const std::string& body) const {
    const fs::path p = path.is_absolute() ? path : Bin() / path;
    WriteFile(p, "#!/bin/sh\n" + body + "\n");
    fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

void KitSandbox::Prepare(InstallerMgr& mgr, const std::wstring& modules) const {
    mgr.Init();
    ASSERT_EQ(mgr.LoadScript(), 0);
    mgr.ReadInstalledInfo();
    mgr.InitDefaults();
    mgr.WaitInstallModules = modules;
}

namespace {

void DumpKey(const pf::RegKey& key, const std::wstring& path, std::ostringstream& out) {
    for (std::uint32_t i = 0;; ++i) {
        std::wstring name;
        pf::RegValue value;
        if (pf::RegEnumValue(key, i, name, &value) != 0) break;
        out << zub::WideToUtf8(path) << " : " << zub::WideToUtf8(name) << " = "
            << static_cast<int>(value.type) << ":"
            << zub::WideToUtf8(pf::RegDataToString(value.data.data(), value.data.size())) << "\n";
    }
    for (std::uint32_t i = 0;; ++i) {
        std::wstring name;
        if (pf::RegEnumKey(key, i, name) != 0) break;
        out << zub::WideToUtf8(path + L"\\" + name) << "\n";
        pf::RegKey sub;
        if (pf::RegOpenKey(key, name, pf::kKeyRead, sub) == 0)
            DumpKey(sub, path + L"\\" + name, out);
    }
}

}  // namespace

std::string KitSandbox::Snapshot() const { return Dump(false); }

std::string KitSandbox::Machine() const { return Dump(true); }

std::string KitSandbox::Dump(bool machine) const {
    std::ostringstream out;
    std::vector<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(Root())) {
        std::string line = e.path().lexically_relative(Root()).string();
        if (machine && (line == "tmp" || line.rfind("tmp/", 0) == 0)) continue;
        if (e.is_regular_file()) line += " = " + ReadFile(e.path());
        entries.push_back(line);
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& e : entries) out << e << "\n";
    const std::pair<pf::RootKey, const wchar_t*> roots[] = {
        {pf::RootKey::LocalMachine, L"HKLM"},
        {pf::RootKey::CurrentUser, L"HKCU"},
        {pf::RootKey::Users, L"HKU"},
    };
    for (const auto& [root, name] : roots) DumpKey(pf::RegKey(root), name, out);
    std::string text = out.str();
    if (machine) {
        pf::RegKey software;
        pf::RegKeyInfo info;
        if (pf::RegOpenKey(pf::RootKey::LocalMachine, L"Software", pf::kKeyRead, software) == 0 &&
            pf::RegQueryInfoKey(software, info) == 0 && info.subKeys == 0 && info.values == 0) {
            for (const char* name : {"HKLM\\software\n", "HKLM\\Software\n"}) {
                if (const auto at = text.find(name); at != std::string::npos)
                    text.erase(at, std::string_view(name).size());
            }
        }
    }
    return text;
}

}  // namespace zub::kitsetup::test
