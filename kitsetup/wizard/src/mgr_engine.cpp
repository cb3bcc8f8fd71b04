#include "wizard/mgr_engine.h"

#include <set>

#include "kitsetup/install_log.h"

namespace kitsetup {

int MgrEngine::LoadScript() {
    mgr_.Init();
    return mgr_.LoadScript();
}

std::wstring MgrEngine::PrepareAndFindInstalled() {
    mgr_.ReadInstalledInfo();
    mgr_.InitDefaults();
    return mgr_.InstalledProduct();
}

std::vector<WizardModule> MgrEngine::ModuleList() const {
    const Modules& modules = mgr_.GetModules();
    std::vector<WizardModule> list;
    std::set<std::wstring> seen;
    for (const auto& name : modules.names) {
        const Module* m = modules.Find(name);
        if (m == nullptr || !seen.insert(name).second) continue;
        list.push_back({m->name, m->caption, m->index});
    }
    return list;
}

std::vector<WizardCheck> MgrEngine::RunChecks() {
    std::vector<WizardCheck> checks;
    for (const auto& r : mgr_.RunChecks()) {
        checks.push_back({r.caption, r.passed, r.blocking, r.failMsg});
    }
    return checks;
}

void MgrEngine::Log(const std::wstring& message) { InstallLog::Log(message); }

std::wstring MgrEngine::InstallLogPath() const {
    // After ExecInstall: the log it really wrote (moved out of the install
    // directory when the install failed and was undone).
    const std::wstring written = mgr_.LogPath();
    return written.empty() ? mgr_.InstallPath + L"/installLog.log" : written;
}

}  // namespace kitsetup
