// The installer's engine: the script model, the selection, and the eight
// install steps.
// Errors: operations return 0 or non-zero and keep the code and message in
// their component's ErrorInfo, which the manager copies into its own; codes
// are the platform's error numbers, -1, or a component's named ones.
// Exceptions end at ExecInstall, DoCopyFgs and CreateMenus.
#pragma once

#include <string>
#include <vector>

#include "kitsetup/actions.h"
#include "kitsetup/checks.h"
#include "kitsetup/error_info.h"
#include "kitsetup/file_groups.h"
#include "kitsetup/install_record.h"
#include "kitsetup/menus.h"
#include "kitsetup/script.h"
#include "zub/platform/error.h"

namespace kitsetup {

class InstallerMgr {
public:
    void Init();
    // Loads "install.xml" from the working directory; 0 or non-zero.
    int LoadScript();
    int LoadScriptFrom(const std::string& path);

    void ReadInstalledInfo();
    void InitDefaults();
    // "product(version)" when the product is installed, else "".
    std::wstring InstalledProduct() const;

    std::wstring ProductName() const { return general.productName; }
    std::wstring DefaultInstallPath() const { return InstallPath; }
    const GeneralInfo& General() const { return general; }
    const std::vector<InstallType>& InstallTypes() const { return installTypes; }
    const Modules& GetModules() const { return modules; }
    Checks& GetChecks() { return checks; }
    FileGroups& GetFileGroups() { return fileGroups; }
    Menus& GetMenus() { return menus; }
    Actions& GetActions() { return actions; }
    Signal<int, const std::wstring&>& Progress() { return fileGroups.progress; }

    // Merged lists of the selected modules. Names the script does not
    // define are skipped here and reported by ExecInstall.
    std::wstring SelectedChecks() const;
    std::wstring SelectedFgs() const;
    void SelectedActions(std::wstring& before, std::wstring& after) const;
    int CountFiles() const;
    // The first selected module the script does not define, or "".
    std::wstring UnknownModule() const;

    // Runs the selected checks in order; failures with actions are queued in
    // checkFailActions. Returns the captions and fail messages of blocking ones.
    struct CheckResult {
        std::wstring name;
        std::wstring caption;
        bool passed = false;
        bool blocking = false;  // failed without actions to fix it
        std::wstring failMsg;
    };
    std::vector<CheckResult> RunChecks();

    int ExecInstall();
    std::wstring LastError() const { return error.message; }
    int LastErrorCode() const { return error.code; }

    // The product record under HKEY_LOCAL_MACHINE.
    std::wstring ProductKey() const;
    int WriteProductValue(const std::wstring& name, const std::wstring& value);
    std::wstring ReadProductValue(const std::wstring& name) const;

    // The log ExecInstall wrote: installLog.log in the install directory, or
    // after a failure (which undoes the install) the general log it moved
    // to; "" when no log could be written.
    std::wstring LogPath() const { return logPath_; }

    // The install record of this product, or of the install in dir. False
    // when there is none; throws std::runtime_error for one it cannot read.
    bool FindInstallRecord(const std::wstring& dir, InstallRecord& out) const;
    // Undoes what the install in dir (or, with "", this product's install)
    // recorded. 0, or -1 when there is no record or something could not be
    // undone (the rest is undone all the same).
    int Uninstall(const std::wstring& dir, std::vector<std::wstring>* report = nullptr);

    const InstallRecord& Record() const { return record; }

    std::wstring InstallPath;
    int selectedInstallType = 0;
    std::wstring WaitInstallModules;
    std::wstring checkFailActions;
    std::wstring installedAppPath;
    std::wstring installedModules;
    std::wstring installedVersion;
    std::wstring installedProduct;

private:
    // Undoes a failed earlier install and stores the new record; false (error
    // set) when the product's install is complete already.
    bool Begin();
    // The install steps in order; each one that fails sets error and returns -1.
    int Steps();
    int RunActions(const std::wstring& list);
    int MakeInstallDir();
    int CopyFiles(const std::wstring& fgs, std::vector<std::wstring>& inProcess,
                  std::vector<std::wstring>& assemblies);
    int RegisterFiles(const std::vector<std::wstring>& inProcess,
                      const std::vector<std::wstring>& assemblies);
    int CreateMenus(const std::wstring& fgs);
    int Undo(InstallRecord r, std::vector<std::wstring>* report);
    void KeepLogAfterFailure();
    static zub::platform::Error ProbeWritable(const std::wstring& file);
    int WriteRegister();
    template <typename F>
    std::wstring MergeSelected(F member) const;

    ErrorInfo error;
    GeneralInfo general;
    std::vector<InstallType> installTypes;
    Modules modules;
    FileGroups fileGroups;
    Menus menus;
    Checks checks;
    Actions actions;
    InstallRecord record;
    std::wstring logPath_;
};

}  // namespace kitsetup
