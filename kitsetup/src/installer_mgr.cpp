#include "kitsetup/installer_mgr.h"

#include <algorithm>

#include "fsutil.h"
#include "kitsetup/install_log.h"
#include "kitsetup/lists.h"
#include "kitsetup/registry_helper.h"
#include "kitsetup/script_loader.h"
#include "kitsetup/string_table.h"
#include "zub/platform/error.h"
#include "zub/platform/files.h"
#include "zub/platform/folders.h"
#include "zub/qv_exception.h"
#include "zub/se_translator.h"

namespace kitsetup {

namespace pf = zub::platform;
namespace fs = std::filesystem;

void InstallerMgr::Init() { error.Clear(); }

int InstallerMgr::LoadScript() { return LoadScriptFrom(zub::WideToNarrow(L"install.xml")); }

int InstallerMgr::LoadScriptFrom(const std::string& path) {
    Script s;
    if (LoadScriptFile(path, s, error) != 0) return error.code != 0 ? error.code : 1;
    general = s.general;
    InstallLog::SetDebug(s.debug);
    installTypes = std::move(s.installTypes);
    modules = std::move(s.modules);
    fileGroups.groups = std::move(s.fileGroups);
    menus.items = std::move(s.menus);
    checks.map = std::move(s.checks);
    actions.map = std::move(s.actions);
    return 0;
}

std::wstring InstallerMgr::ProductKey() const {
    return L"software\\" + general.companyAlias + L"\\" + general.productInReg;
}

int InstallerMgr::WriteProductValue(const std::wstring& name, const std::wstring& value) {
    const std::wstring key = ProductKey();
    record.NoteRegistryWrite(kHkeyLocalMachine, key, name);
    if (RegistryHelper::WriteString(kHkeyLocalMachine, value, key, name) != 0) {
        const pf::Error e = pf::LastError();
        InstallLog::Log(FmtId(31, static_cast<int>(e), pf::ErrorText(e), key, name, value));
        return -1;
    }
    InstallLog::DebugLog(Fmt(L"写注册表, %s, %s, %s", key, name, value));
    return 0;
}

std::wstring InstallerMgr::ReadProductValue(const std::wstring& name) const {
    std::wstring value;
    if (RegistryHelper::ReadString(kHkeyLocalMachine, ProductKey(), name, value) != 0) return {};
    return value;
}

void InstallerMgr::ReadInstalledInfo() {
    installedVersion = ReadProductValue(L"version");
    if (installedVersion.empty()) return;
    installedAppPath = ReadProductValue(L"appPath");
    installedModules = ReadProductValue(L"module");
    installedProduct = ReadProductValue(L"product");
}

void InstallerMgr::InitDefaults() {
    std::wstring programFiles;
    pf::GetSpecialFolder(pf::SpecialFolder::ProgramFiles, programFiles);
    InstallPath = programFiles + L"/" + general.companyAlias + L"/" + general.productAlias;
    std::wstring all;
    for (const auto& [name, m] : modules.map) all += (all.empty() ? L"" : L",") + name;
    installTypes.push_back({LoadStr(12), all});
}

std::wstring InstallerMgr::InstalledProduct() const {
    if (installedVersion.empty()) return {};
    return Fmt(L"%s(%s)", installedProduct, installedVersion);
}

template <typename F>
std::wstring InstallerMgr::MergeSelected(F member) const {
    std::wstring list;
    for (const auto& name : SplitList(WaitInstallModules, L",")) {
        if (const Module* m = modules.Find(name)) mergeList(list, m->*member);
    }
    return list;
}

std::wstring InstallerMgr::UnknownModule() const {
    for (const auto& name : SplitList(WaitInstallModules, L",")) {
        if (!name.empty() && modules.Find(name) == nullptr) return name;
    }
    return {};
}

std::wstring InstallerMgr::SelectedChecks() const { return MergeSelected(&Module::checks); }
std::wstring InstallerMgr::SelectedFgs() const { return MergeSelected(&Module::fgs); }

void InstallerMgr::SelectedActions(std::wstring& before, std::wstring& after) const {
    before = MergeSelected(&Module::beforeInstall);
    after = MergeSelected(&Module::afterInstall);
}

int InstallerMgr::CountFiles() const {
    int n = 0;
    for (const auto& name : SplitList(SelectedFgs(), L",")) {
        const auto it = fileGroups.groups.find(name);
        if (it != fileGroups.groups.end())
            n += static_cast<int>(SplitList(it->second.files, L",").size());
    }
    return n;
}

std::vector<InstallerMgr::CheckResult> InstallerMgr::RunChecks() {
    std::vector<CheckResult> results;
    for (const auto& name : SplitList(SelectedChecks(), L",")) {
        if (name.empty()) continue;
        CheckResult r;
        r.name = name;
        r.passed = checks.Run(name);
        const Check* c = checks.Find(name);
        if (c != nullptr) {
            r.caption = c->caption;
            r.failMsg = c->failMsg;
        } else {
            r.caption = name;
            r.failMsg = checks.error.message;
        }
        if (!r.passed) {
            if (c != nullptr && !c->actionsWhenFails.empty()) {
                Checks::QueueFailActions(*c, checkFailActions);
            } else {
                r.blocking = true;
            }
        }
        results.push_back(std::move(r));
    }
    return results;
}

int InstallerMgr::WriteRegister() {
    if (WriteProductValue(L"appPath", InstallPath) != 0) return -1;
    if (WriteProductValue(L"module", WaitInstallModules) != 0) return -1;
    if (WriteProductValue(L"version", general.version) != 0) return -1;
    if (WriteProductValue(L"product", general.productName) != 0) return -1;
    return 0;
}

int InstallerMgr::Steps() {
    ZUBBASE::InstallSeTranslator();
    InstallLog::SetPath(zub::WideToNarrow(InstallPath + L"/installLog.log"));
    InstallLog::Log(FmtId(28, general.productName, general.version));
    InstallLog::DebugLog(L"InstallerMgr::ExecInstall() in");
    InstallLog::DebugLog(L"InstallPath = " + InstallPath);
    InstallLog::DebugLog(L"WaitInstallModules = " + WaitInstallModules);
    InstallLog::DebugLog(L"begin install, 8 steps");

    if (WriteProductValue(L"appPath", InstallPath) != 0) return -1;
    actions.installPath = InstallPath;
    actions.version = general.version;

    InstallLog::DebugLog(L"1/8 start, exec checkFailActions, " + checkFailActions);
    if (!checkFailActions.empty() && actions.RunList(checkFailActions) != 0) {
        error = actions.error;
        return -1;
    }
    InstallLog::DebugLog(L"1/8 end");

    InstallLog::DebugLog(L"2/8 start, create dir " + InstallPath);
    {
        std::error_code ec;
        const fs::path dir = FsPath(InstallPath);
        std::vector<std::wstring> missing;
        for (fs::path p = dir; !p.empty() && p != p.root_path(); p = p.parent_path()) {
            if (fs::exists(p, ec)) break;
            missing.push_back(WPath(p));
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) record.NoteDir(*it);
        const std::wstring logPath = InstallPath + L"/installLog.log";
        record.NoteFile(logPath, fs::exists(FsPath(logPath), ec));
    }
    const pf::Error made = pf::CreateDirectoryWithParents(InstallPath);
    if (made != 0 && made != pf::kErrorAlreadyExists && made != pf::kErrorFileExists &&
        made != pf::kErrorCancelled) {
        error.Set(-1, FmtId(29, InstallPath));
        return -1;
    }
    InstallLog::Log(FmtId(30, InstallPath));
    InstallLog::DebugLog(L"2/8 end");

    if (const std::wstring unknown = UnknownModule(); !unknown.empty()) {
        error.Set(-1, Fmt(L"模块 %s 未定义", unknown));
        InstallLog::Log(error.message);
        return -1;
    }
    std::wstring before, after;
    SelectedActions(before, after);
    InstallLog::DebugLog(L"3/8 start, exec sBeforeInstActions=" + before);
    if (!before.empty() && actions.RunList(before) != 0) {
        error = actions.error;
        return -1;
    }
    InstallLog::DebugLog(L"3/8 end");

    const std::wstring fgs = SelectedFgs();
    InstallLog::DebugLog(Fmt(L"4/8 start, copy files or dir, num=%d", CountFiles()));
    fileGroups.installDir = InstallPath;
    std::vector<std::wstring> inProcess, assemblies;
    if (fileGroups.DoCopyFgs(fgs, inProcess, assemblies) != 0) {
        error = fileGroups.error;
        return -1;
    }
    InstallLog::DebugLog(L"4/8 end");

    InstallLog::DebugLog(L"5/8 start, reg dll");
    InstallLog::DebugLog(
        Fmt(L"5.1 start, regsvr32, num=%d", static_cast<int>(inProcess.size())));
    if (!inProcess.empty() && fileGroups.RegisterAllInProcess(inProcess) != 0) {
        error = fileGroups.error;
        return -1;
    }
    InstallLog::DebugLog(L"5.1 end");
    InstallLog::DebugLog(
        Fmt(L"5.2 start, regasm, num=%d", static_cast<int>(assemblies.size())));
    if (!assemblies.empty()) fileGroups.RegisterAllAssemblies(assemblies);
    InstallLog::DebugLog(L"5.2 end");
    InstallLog::DebugLog(L"5/8 end");

    InstallLog::DebugLog(L"6/8 start, exec afterInstallAction=" + after);
    if (!after.empty() && actions.RunList(after) != 0) {
        error = actions.error;
        return -1;
    }
    InstallLog::DebugLog(L"6/8 end");

    InstallLog::DebugLog(L"7/8 start, create menus");
    menus.CreateMenus(InstallPath, fgs);
    InstallLog::DebugLog(L"7/8 end");

    InstallLog::DebugLog(L"8/8 start, write register");
    const int written = WriteRegister();
    InstallLog::DebugLog(L"8/8 end");
    return written == 0 ? 0 : -1;
}

int InstallerMgr::ExecInstall() {
    record = InstallRecord{};
    record.installDir = InstallPath;
    record.productKey = ProductKey();
    fileGroups.SetRecord(&record);
    menus.SetRecord(&record);
    int result = -1;
    const auto fail = [&](const std::wstring& text) {
        error.Set(-1, L"InstallerMgr::ExecInstall() error: " + text + L"\n");
    };
    try {
        result = Steps();
    } catch (ZUBBASE::QV_Exception& e) {
        e.SetCatchLocation(L"src/installer_mgr", L"InstallerMgr::ExecInstall", __LINE__);
        fail(e.Message());
    } catch (const std::exception& e) {
        ZUBBASE::QV_Exception q(e, L"src/installer_mgr", L"InstallerMgr::ExecInstall", __LINE__);
        q.SetCatchLocation(L"src/installer_mgr", L"InstallerMgr::ExecInstall", __LINE__);
        fail(q.Message());
    } catch (...) {
        fail(L"Unexpected error.");
    }
    fileGroups.SetRecord(nullptr);
    menus.SetRecord(nullptr);
    record.complete = result == 0;
    // Whatever was done, even by a failed install, can be undone.
    std::error_code ec;
    if (fs::is_directory(FsPath(InstallPath), ec)) {
        try {
            record.Save(zub::WideToNarrow(InstallPath) + "/" + kManifestName);
        } catch (const std::exception& e) {
            InstallLog::Log(L"manifest: " + zub::NarrowToWide(e.what()));
        }
    }
    return result;
}

int InstallerMgr::Uninstall(const std::wstring& dir, std::vector<std::wstring>* report) {
    const auto note = [&](const std::wstring& line) {
        if (report != nullptr) report->push_back(line);
    };
    const std::string manifest = zub::WideToNarrow(dir) + "/" + kManifestName;
    InstallRecord r;
    try {
        r = InstallRecord::Load(manifest);
    } catch (const std::exception& e) {
        error.Set(-1, zub::NarrowToWide(e.what()));
        return -1;
    }
    int result = 0;
    fileGroups.installDir = r.installDir;
    for (auto it = r.registeredDlls.rbegin(); it != r.registeredDlls.rend(); ++it) {
        if (fileGroups.UnregisterInProcess(*it) != 0) {
            error = fileGroups.error;
            note(L"unregister failed: " + *it + fileGroups.error.message);
            result = -1;
        } else {
            note(L"unregistered " + *it);
        }
    }
    for (const auto& a : r.registeredAssemblies) {
        fileGroups.UnregisterAssembly(a);
        note(L"unregistered assembly " + a);
    }
    std::error_code ec;
    for (const auto& s : r.shortcuts) {
        if (fs::remove(FsPath(s), ec)) note(L"removed " + s);
    }
    for (auto it = r.createdFiles.rbegin(); it != r.createdFiles.rend(); ++it) {
        const fs::path p = FsPath(*it);
        if (fs::is_regular_file(fs::symlink_status(p, ec)) && fs::remove(p, ec))
            note(L"removed " + *it);
    }
    for (auto it = r.registryValues.rbegin(); it != r.registryValues.rend(); ++it) {
        const auto root = static_cast<keyRoot>(it->root);
        try {
            if (it->existed) {
                RegistryHelper::WriteString(root, it->previous, it->subKey, it->name);
            } else {
                RegistryHelper::DeleteValue(root, it->subKey, it->name);
            }
            note(L"registry value " + it->subKey + L"\\" + it->name);
        } catch (const std::exception& e) {
            error.Set(-1, zub::NarrowToWide(e.what()));
            result = -1;
        }
    }
    for (auto it = r.createdKeys.rbegin(); it != r.createdKeys.rend(); ++it) {
        try {
            RegistryHelper::DeleteKeyIfEmpty(static_cast<keyRoot>(it->root), it->subKey);
        } catch (const std::exception&) {
            // an unknown root in a hand-edited manifest names no key of ours
        }
    }
    fs::remove(manifest, ec);
    for (auto it = r.createdDirs.rbegin(); it != r.createdDirs.rend(); ++it) {
        const fs::path p = FsPath(*it);
        if (fs::is_directory(fs::symlink_status(p, ec)) && fs::is_empty(p, ec) &&
            fs::remove(p, ec))
            note(L"removed " + *it);
    }
    return result;
}

}  // namespace kitsetup
