// What the wizard asks of the install manager. The program hands it the real
// manager; tests hand it a scripted one.
#pragma once

#include <string>
#include <vector>

#include "kitsetup/script.h"
#include "kitsetup/signal.h"

namespace zub::kitsetup {

struct WizardModule {
    std::wstring name;
    std::wstring caption;
    int index = 0;  // position among the script's modules
};

struct WizardCheck {
    std::wstring caption;
    bool passed = false;
    bool blocking = false;  // failed and nothing queued to fix it
    std::wstring failMsg;
};

class WizardEngine {
public:
    using ProgressSignal = Signal<int, const std::wstring&>;

    virtual ~WizardEngine() = default;

    // Init and load the script; 0 or non-zero with LastError set.
    virtual int LoadScript() = 0;
    virtual std::wstring LastError() const = 0;
    // ReadInstalledInfo, InitDefaults, then "product(version)" or "".
    virtual std::wstring PrepareAndFindInstalled() = 0;

    virtual const GeneralInfo& General() const = 0;
    virtual std::wstring InstallPath() const = 0;
    virtual void SetInstallPath(const std::wstring& path) = 0;
    // The custom type is the last one.
    virtual std::vector<InstallType> InstallTypes() const = 0;
    // Script order, one entry per name.
    virtual std::vector<WizardModule> ModuleList() const = 0;
    virtual std::size_t ModuleCount() const = 0;

    virtual std::wstring Selection() const = 0;
    virtual void SetSelection(const std::wstring& modules) = 0;
    virtual int SelectedInstallType() const = 0;
    virtual void SetSelectedInstallType(int type) = 0;

    // Runs the selected modules' checks in order; failures with actions are
    // queued for the install.
    virtual std::vector<WizardCheck> RunChecks() = 0;
    virtual int CountFiles() const = 0;
    // Bytes of every file the script's file groups would copy.
    virtual unsigned long long PayloadBytes() const = 0;

    virtual ProgressSignal& Progress() = 0;
    // Runs on the worker thread; 0 on success.
    virtual int ExecInstall() = 0;

    virtual void Log(const std::wstring& message) = 0;
    // The file the install log is written to now.
    virtual std::wstring InstallLogPath() const = 0;
};

}  // namespace zub::kitsetup
