// The in-memory model of the install script.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zub::kitsetup {

enum OverwriteMode : int {
    kowNever = 0,
    kowAlways = 1,
    kowTime = 2,
    kowVersion = 3,
    kowVerThenTm = 4
};
enum CheckKind : int { chkRegKey = 0, chkService = 1 };
enum ActionType : int { RunProgWait = 0, RunProgNoWait = 1, RunProgDelay = 2 };
enum ExePosition : int { exeInstallPath = 0, exeCurrentPath = 1 };

struct GeneralInfo {
    std::wstring companyName;
    std::wstring companyAlias;
    std::wstring productName;
    std::wstring productAlias;
    std::wstring productInReg;
    std::wstring version;
    bool showUnInstallModule = false;
    bool enableUnInstallModule = false;
    bool showFlash = true;
    bool showLicense = true;
    bool promptRestart = true;
    int line = 0;  // of the GENERAL element, for messages
};

struct InstallType {
    std::wstring name;
    std::wstring mds;  // comma list of module names
};

// Every list member is a comma list kept as written; mergeList combines them.
struct Module {
    std::wstring name;
    std::wstring caption;
    std::wstring fgs;
    std::wstring checks;
    std::wstring beforeInstall;
    std::wstring afterInstall;
    std::wstring beforeRemove;
    std::wstring afterRemove;
    std::wstring beforeUpgrade;
    std::wstring afterUpgrade;
    int index = 0;
};

struct Modules {
    std::map<std::wstring, Module> map;
    std::vector<std::wstring> names;  // document order, duplicates kept

    const Module* Find(const std::wstring& name) const;
};

struct FileGroup {
    std::wstring name;
    std::wstring desc;
    std::wstring dependOn;
    std::wstring target;
    OverwriteMode overwrite = kowNever;
    bool reg = false;
    bool asmreg = false;
    bool uninstall = false;
    std::wstring files;
    // Each copied file also gets a command link in the system's program
    // folder, so a shell finds it by name.
    bool onPath = false;
    int line = 0;
};

struct MenuItem {
    std::wstring txt;
    std::wstring target;
    bool shortcut = false;
    std::wstring dependnOn;
    bool isSpecial = false;
    bool terminal = false;  // a command-line program: opened in a terminal
    std::wstring icon;      // relative to the install directory
    int line = 0;
};

struct Check {
    std::wstring name;
    int kind = chkRegKey;
    std::wstring parameter;
    std::wstring actionsWhenFails;
    std::wstring failMsg;
    std::wstring caption;
    // False when `paras` had fewer than two items: such a check never passes.
    bool complete = false;
};

struct Action {
    std::wstring name;
    ActionType actionType = RunProgWait;
    std::wstring progName;
    std::wstring progParas;
    ExePosition exePostion = exeInstallPath;
};

// Everything one script defines; the manager hands the sections to its parts.
struct Script {
    GeneralInfo general;
    bool debug = false;
    std::vector<InstallType> installTypes;
    Modules modules;
    std::map<std::wstring, FileGroup> fileGroups;
    std::vector<MenuItem> menus;
    std::map<std::wstring, Check> checks;
    std::map<std::wstring, Action> actions;
};

}  // namespace zub::kitsetup
