#include "kit_sandbox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "kitsetup/install_log.h"
#include "zub/platform/registry.h"
#include "zub/text.h"

namespace kitsetup::testing {

namespace pf = zub::platform;

void KitSandbox::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "kitsetup-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    for (const auto& d : {Root(), Payload() / "source", Bin(), dir_ / "registry"})
        fs::create_directories(d);
    SetEnv("ZUB_ROOT", Root().string());
    SetEnv("ZUB_REGISTRY_DIR", (dir_ / "registry").string());
    SetEnv("ZUB_PRIVILEGED", std::nullopt);
    SetEnv("XDG_CONFIG_HOME", (dir_ / "config").string());
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
    for (const auto& [name, value] : savedEnv_) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void KitSandbox::SetEnv(const std::string& name, const std::optional<std::string>& value) {
    if (!savedEnv_.count(name)) {
        const char* old = std::getenv(name.c_str());
        savedEnv_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
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

void KitSandbox::WriteFile(const fs::path& p, const std::string& content) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string KitSandbox::ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
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
        if (pf::RegOpenKey(key, name, pf::kKeyRead, sub) == 0) DumpKey(sub, path + L"\\" + name, out);
    }
}

}  // namespace

std::string KitSandbox::Snapshot() const {
    std::ostringstream out;
    std::vector<std::string> entries;
    for (const auto& e : fs::recursive_directory_iterator(Root())) {
        std::string line = e.path().lexically_relative(Root()).string();
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
    return out.str();
}

}  // namespace kitsetup::testing
