// The wizard's view of the real install manager.
#pragma once

#include "kitsetup/installer_mgr.h"
#include "wizard/wizard_engine.h"

namespace zub::kitsetup {

class MgrEngine final : public WizardEngine {
public:
    int LoadScript() override;
    std::wstring LastError() const override { return mgr_.LastError(); }
    std::wstring PrepareAndFindInstalled() override;

    const GeneralInfo& General() const override { return mgr_.General(); }
    std::wstring InstallPath() const override { return mgr_.InstallPath; }
    void SetInstallPath(const std::wstring& path) override { mgr_.InstallPath = path; }
    std::vector<InstallType> InstallTypes() const override { return mgr_.InstallTypes(); }
    std::vector<WizardModule> ModuleList() const override;
    std::size_t ModuleCount() const override { return mgr_.GetModules().map.size(); }

    std::wstring Selection() const override { return mgr_.WaitInstallModules; }
    void SetSelection(const std::wstring& modules) override { mgr_.WaitInstallModules = modules; }
    int SelectedInstallType() const override { return mgr_.selectedInstallType; }
    void SetSelectedInstallType(int type) override { mgr_.selectedInstallType = type; }

    std::vector<WizardCheck> RunChecks() override;
    int CountFiles() const override { return mgr_.CountFiles(); }
    unsigned long long PayloadBytes() const override { return payloadBytes_; }
    ProgressSignal& Progress() override { return mgr_.Progress(); }
    int ExecInstall() override { return mgr_.ExecInstall(); }

    void Log(const std::wstring& message) override;
    std::wstring InstallLogPath() const override;

    InstallerMgr& Manager() { return mgr_; }

private:
    InstallerMgr mgr_;
    unsigned long long payloadBytes_ = 0;
};

}  // namespace zub::kitsetup
