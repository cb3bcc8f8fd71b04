#include "kitsetup/installer_mgr.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwctype>

#include "fsutil.h"
#include "kitsetup/install_log.h"
#include "kitsetup/lists.h"
#include "kitsetup/registry_helper.h"
#include "kitsetup/script_loader.h"
#include "kitsetup/string_table.h"
#include "zub/boundary.h"
#include "zub/platform/error.h"
#include "zub/platform/files.h"
#include "zub/platform/folders.h"

namespace zub::kitsetup {

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
        InstallLog::Log(FmtId(31, static_cast<int>(e), SystemErrorText(e), key, name, value));
        return -1;
    }
    InstallLog::DebugLog(Fmt(tr("写注册表, %s, %s, %s"), key, name, value));
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

int InstallerMgr::RunActions(const std::wstring& list) {
    if (list.empty() || actions.RunList(list) == 0) return 0;
    error = actions.error;
    return -1;
}

int InstallerMgr::MakeInstallDir() {
    InstallLog::DebugLog(Fmt(tr("2/8 start, create dir %s"), InstallPath));
    {
        std::error_code ec;
        const fs::path dir = FsPath(InstallPath);
        std::vector<std::wstring> missing;
        for (fs::path p = dir; !p.empty() && p != p.root_path(); p = p.parent_path()) {
            if (fs::exists(p, ec)) break;
            missing.push_back(WPath(p));
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) record.NoteDir(*it);
    }
    const pf::Error made = pf::CreateDirectoryWithParents(InstallPath);
    if (made != 0 && made != pf::kErrorAlreadyExists && made != pf::kErrorFileExists &&
        made != pf::kErrorCancelled) {
        error.Set(-1, FmtId(29, InstallPath) +
                          Fmt(L"(%d) %s", static_cast<int>(made), SystemErrorText(made)));
        return -1;
    }
    // A folder that exists but cannot be written is no install directory:
    // the log, the first file the install writes there, tells.
    if (const pf::Error e = ProbeWritable(logPath_); e != 0) {
        error.Set(-1, Fmt(tr("安装目录 %s 无法写入(%d) %s"), InstallPath, static_cast<int>(e),
                          SystemErrorText(e)));
        return -1;
    }
    InstallLog::Log(FmtId(30, InstallPath));
    InstallLog::DebugLog(Fmt(tr("%d/8 end"), 2));
    return 0;
}

int InstallerMgr::CopyFiles(const std::wstring& fgs, std::vector<std::wstring>& inProcess,
                            std::vector<std::wstring>& assemblies) {
    InstallLog::DebugLog(Fmt(tr("4/8 start, copy files or dir, num=%d"), CountFiles()));
    fileGroups.installDir = InstallPath;
    if (fileGroups.DoCopyFgs(fgs, inProcess, assemblies) != 0) {
        error = fileGroups.error;
        return -1;
    }
    InstallLog::DebugLog(Fmt(tr("%d/8 end"), 4));
    return 0;
}

int InstallerMgr::RegisterFiles(const std::vector<std::wstring>& inProcess,
                                const std::vector<std::wstring>& assemblies) {
    InstallLog::DebugLog(Wide(tr("5/8 start, reg dll")));
    InstallLog::DebugLog(
        Fmt(tr("5.1 start, regsvr32, num=%d"), static_cast<int>(inProcess.size())));
    if (!inProcess.empty() && fileGroups.RegisterAllInProcess(inProcess) != 0) {
        error = fileGroups.error;
        return -1;
    }
    InstallLog::DebugLog(Wide(tr("5.1 end")));
    InstallLog::DebugLog(Fmt(tr("5.2 start, regasm, num=%d"), static_cast<int>(assemblies.size())));
    if (!assemblies.empty()) fileGroups.RegisterAllAssemblies(assemblies);
    InstallLog::DebugLog(Wide(tr("5.2 end")));
    InstallLog::DebugLog(Fmt(tr("%d/8 end"), 5));
    return 0;
}

int InstallerMgr::CreateMenus(const std::wstring& fgs) {
    InstallLog::DebugLog(Wide(tr("7/8 start, create menus")));
    if (menus.CreateMenus(InstallPath, fgs) != 0) {
        error = menus.error;
        return -1;
    }
    InstallLog::DebugLog(Fmt(tr("%d/8 end"), 7));
    return 0;
}

int InstallerMgr::Steps() {
    InstallLog::Log(FmtId(28, general.productName, general.version));
    InstallLog::DebugLog(L"InstallerMgr::ExecInstall() in");
    InstallLog::DebugLog(L"InstallPath = " + InstallPath);
    InstallLog::DebugLog(L"WaitInstallModules = " + WaitInstallModules);
    InstallLog::DebugLog(Wide(tr("begin install, 8 steps")));

    if (WriteProductValue(L"appPath", InstallPath) != 0) return -1;
    actions.installPath = InstallPath;
    actions.version = general.version;

    InstallLog::DebugLog(Fmt(tr("1/8 start, exec checkFailActions, %s"), checkFailActions));
    if (RunActions(checkFailActions) != 0) return -1;
    InstallLog::DebugLog(Fmt(tr("%d/8 end"), 1));

    if (MakeInstallDir() != 0) return -1;

    if (const std::wstring unknown = UnknownModule(); !unknown.empty()) {
        error.Set(-1, Fmt(tr("模块 %s 未定义"), unknown));
        InstallLog::Log(error.message);
        return -1;
    }
    std::wstring before, after;
    SelectedActions(before, after);
    InstallLog::DebugLog(Fmt(tr("3/8 start, exec sBeforeInstActions=%s"), before));
    if (RunActions(before) != 0) return -1;
    InstallLog::DebugLog(Fmt(tr("%d/8 end"), 3));

    const std::wstring fgs = SelectedFgs();
    std::vector<std::wstring> inProcess, assemblies;
    if (CopyFiles(fgs, inProcess, assemblies) != 0) return -1;
    if (RegisterFiles(inProcess, assemblies) != 0) return -1;

    InstallLog::DebugLog(Fmt(tr("6/8 start, exec afterInstallAction=%s"), after));
    if (RunActions(after) != 0) return -1;
    InstallLog::DebugLog(Fmt(tr("%d/8 end"), 6));

    if (CreateMenus(fgs) != 0) return -1;

    InstallLog::DebugLog(Wide(tr("8/8 start, write register")));
    const int written = WriteRegister();
    InstallLog::DebugLog(Fmt(tr("%d/8 end"), 8));
    return written == 0 ? 0 : -1;
}

bool InstallerMgr::Begin() {
    InstallRecord previous;
    if (InstallRecord::Find(ProductKey(), previous)) {
        if (previous.complete) {
            const std::wstring installed = InstalledProduct();
            error.Set(-1, FmtId(146, installed.empty() ? general.productName : installed));
            return false;
        }
        // A failed or killed install of this product: undo it first.
        InstallLog::Log(Fmt(tr("撤销上一次未完成的安装: %s"), previous.installDir));
        Undo(previous, nullptr);
    }
    record = InstallRecord{};
    record.installDir = InstallPath;
    record.productKey = ProductKey();
    std::wstring prefix;
    for (const auto& part : SplitList(kInstallRecordKey, L"\\")) {
        prefix += (prefix.empty() ? L"" : L"\\") + part;
        if (!RegistryHelper::KeyExists(kHkeyLocalMachine, prefix))
            record.createdKeys.push_back({kHkeyLocalMachine, prefix});
    }
    record.Store();
    record.changed = [this] { record.Store(); };
    std::error_code ec;
    record.NoteFile(logPath_, fs::exists(FsPath(logPath_), ec));
    return true;
}

pf::Error InstallerMgr::ProbeWritable(const std::wstring& file) {
    std::FILE* f = std::fopen(zub::WideToNarrow(file).c_str(), "a");
    if (f == nullptr) return pf::ErrorFromErrno(errno);
    return std::fclose(f) == 0 ? 0 : pf::ErrorFromErrno(errno);
}

void InstallerMgr::KeepLogAfterFailure() {
    // The install directory goes with the undo: its log moves to the
    // general one, which the failure message names.
    const std::string fallback = InstallLog::DefaultPath();
    if (InstallLog::MoveTo(fallback)) {
        logPath_ = zub::NarrowToWide(fallback);
    } else {
        logPath_.clear();
    }
}

int InstallerMgr::ExecInstall() {
    error.Clear();
    {
        // One spelling of the directory, so that the record names what it reaches.
        std::error_code ec;
        fs::path dir = fs::absolute(FsPath(InstallPath), ec).lexically_normal();
        if (!ec && !InstallPath.empty()) {
            if (dir.filename().empty() && dir != dir.root_path()) dir = dir.parent_path();
            InstallPath = WPath(dir);
        }
    }
    logPath_ = InstallPath + L"/installLog.log";
    // Nothing is written before the record says so; the lines wait.
    InstallLog::SetPath("");
    bool begun = false;
    const int result = ZUBBASE::Guard(
        ZUBBASE::CatchPlace{L"installer_mgr", L"InstallerMgr::ExecInstall", __LINE__}, -1,
        [&] {
            begun = Begin();
            if (!begun) return -1;
            InstallLog::SetPath(zub::WideToNarrow(logPath_), true);
            fileGroups.SetRecord(&record);
            menus.SetRecord(&record);
            if (Steps() != 0) return -1;
            record.complete = true;
            record.Store();
            return 0;
        },
        [this](const ZUBBASE::QV_Exception& e) {
            error.Set(-1, L"InstallerMgr::ExecInstall() error: " + e.Message() + L"\n");
            return -1;
        });
    fileGroups.SetRecord(nullptr);
    menus.SetRecord(nullptr);
    record.changed = nullptr;
    if (result != 0) {
        KeepLogAfterFailure();
        if (!error.message.empty()) InstallLog::Log(error.message);
        if (begun) {
            InstallLog::Log(Wide(tr("安装失败，撤销本次安装所做的更改")));
            Undo(record, nullptr);
        }
    }
    return result;
}

bool InstallerMgr::FindInstallRecord(const std::wstring& dir, InstallRecord& out) const {
    return dir.empty() ? InstallRecord::Find(ProductKey(), out)
                       : InstallRecord::FindByDir(dir, out);
}

int InstallerMgr::Uninstall(const std::wstring& dir, std::vector<std::wstring>* report) {
    // Nothing of the uninstall goes into a log it may be removing.
    InstallLog::SetPath("");
    InstallRecord r;
    try {
        if (!FindInstallRecord(dir, r)) {
            error.Set(-1, Fmt(tr("没有找到安装记录: %s"), dir.empty() ? ProductKey() : dir));
            return -1;
        }
    } catch (const std::exception& e) {
        error.Set(-1, zub::NarrowToWide(e.what()));
        return -1;
    }
    return Undo(r, report);
}

namespace {

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

// The folders an install may write to: its directory and the special
// folders a script can name. An undo touches nothing outside them, however
// the path was spelt or what links lie on the way.
class Places {
public:
    explicit Places(const std::wstring& installDir) {
        Add(installDir);
        for (const auto f :
             {pf::SpecialFolder::System, pf::SpecialFolder::CommonPrograms,
              pf::SpecialFolder::CommonDesktopDirectory, pf::SpecialFolder::CommandLinks}) {
            std::wstring p;
            if (pf::GetSpecialFolder(f, p) == 0) Add(p);
        }
    }
    // A file or link strictly below one of the folders.
    bool Holds(const std::wstring& path) const {
        const fs::path p = FsPath(path);
        if (!Plain(p)) return false;
        std::error_code ec;
        const fs::path real = fs::weakly_canonical(p.parent_path(), ec) / p.filename();
        return !ec && std::any_of(roots_.begin(), roots_.end(),
                                  [&](const fs::path& r) { return Below(real, r); });
    }
    // A folder below, at or above one of them (made on the way there).
    bool HoldsDir(const std::wstring& path) const {
        const fs::path p = FsPath(path);
        if (!Plain(p)) return false;
        std::error_code ec;
        const fs::path real = fs::weakly_canonical(p, ec);
        return !ec && std::any_of(roots_.begin(), roots_.end(), [&](const fs::path& r) {
            return real == r || Below(real, r) || Below(r, real);
        });
    }

private:
    static bool Plain(const fs::path& p) {
        return p.is_absolute() && p.lexically_normal() == p && p.filename() != "";
    }
    static bool Below(const fs::path& p, const fs::path& root) {
        const fs::path rel = p.lexically_relative(root);
        return !rel.empty() && *rel.begin() != ".." && rel != ".";
    }
    void Add(const std::wstring& dir) {
        std::error_code ec;
        const fs::path p = FsPath(dir);
        if (!Plain(p)) return;
        const fs::path real = fs::weakly_canonical(p, ec);
        if (!ec && real != real.root_path()) roots_.push_back(real);
    }
    std::vector<fs::path> roots_;
};

}  // namespace

int InstallerMgr::Undo(InstallRecord r, std::vector<std::wstring>* report) {
    const auto note = [&](const std::wstring& line) {
        if (report != nullptr) report->push_back(line);
        InstallLog::Log(line);
    };
    const Places places(r.installDir);
    const std::wstring productKey = Lower(r.productKey);
    const auto ourKey = [&](int root, const std::wstring& key) {
        const std::wstring k = Lower(key);
        const std::wstring own = Lower(kInstallRecordKey);
        return root == kHkeyLocalMachine && !k.empty() &&
               ((productKey + L"\\").rfind(k + L"\\", 0) == 0 ||
                (own + L"\\").rfind(k + L"\\", 0) == 0);
    };
    const auto refuse = [&](const std::wstring& what) {
        note(Fmt(tr("not ours, left alone: %s"), what));
    };
    int result = 0;
    fileGroups.installDir = r.installDir;
    for (auto it = r.registeredDlls.rbegin(); it != r.registeredDlls.rend(); ++it) {
        if (!places.Holds(*it)) {
            refuse(*it);
        } else if (fileGroups.UnregisterInProcess(*it) != 0) {
            error = fileGroups.error;
            note(Fmt(tr("unregister failed: %s"), *it + Shown(fileGroups.error.message)));
            result = -1;
        } else {
            note(Fmt(tr("unregistered %s"), *it));
        }
    }
    for (const auto& a : r.registeredAssemblies) {
        if (!places.Holds(a)) {
            refuse(a);
            continue;
        }
        fileGroups.UnregisterAssembly(a);
        note(Fmt(tr("unregistered assembly %s"), a));
    }
    if (!r.registeredDlls.empty() || !r.registeredAssemblies.empty()) {
        // A second run after a kill need not unregister again.
        r.registeredDlls.clear();
        r.registeredAssemblies.clear();
        try {
            r.Store();
        } catch (const std::exception&) {
            // the record still lists them: unregistering twice does no harm
        }
    }
    std::error_code ec;
    for (const auto& l : r.commandLinks) {
        const fs::path p = FsPath(l.link);
        if (!places.Holds(l.link)) {
            refuse(l.link);
        } else if (fs::is_symlink(p, ec) && fs::read_symlink(p, ec) == FsPath(l.target) &&
                   fs::remove(p, ec)) {
            note(Fmt(tr("removed %s"), l.link));
        }
    }
    std::vector<std::wstring> files = r.shortcuts;
    files.insert(files.end(), r.createdFiles.rbegin(), r.createdFiles.rend());
    for (const auto& f : files) {
        const fs::path p = FsPath(f);
        if (!places.Holds(f)) {
            refuse(f);
            continue;
        }
        // A copy killed half-way leaves its temporary beside the file.
        pf::RemoveWriteLeftovers(f);
        if (fs::is_regular_file(fs::symlink_status(p, ec)) && fs::remove(p, ec))
            note(Fmt(tr("removed %s"), f));
    }
    for (const auto& f : r.overwrittenFiles) {
        if (places.Holds(f)) pf::RemoveWriteLeftovers(f);
    }
    for (auto it = r.registryValues.rbegin(); it != r.registryValues.rend(); ++it) {
        if (!ourKey(it->root, it->subKey) || Lower(it->subKey) != productKey) {
            refuse(it->subKey + L"\\" + it->name);
            continue;
        }
        const auto root = static_cast<keyRoot>(it->root);
        try {
            if (it->existed) {
                RegistryHelper::WriteString(root, it->previous, it->subKey, it->name);
            } else {
                RegistryHelper::DeleteValue(root, it->subKey, it->name);
            }
            note(Fmt(tr("registry value %s undone"), it->subKey + L"\\" + it->name));
        } catch (const std::exception& e) {
            error.Set(-1, zub::NarrowToWide(e.what()));
            result = -1;
        }
    }
    std::vector<InstallRecord::RegistryKey> keys;
    for (const auto& k : r.createdKeys) {
        if (ourKey(k.root, k.subKey)) keys.push_back(k);
    }
    // Deepest first, so a parent is empty when its turn comes.
    std::stable_sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
        return std::count(a.subKey.begin(), a.subKey.end(), L'\\') >
               std::count(b.subKey.begin(), b.subKey.end(), L'\\');
    });
    for (const auto& k : keys)
        RegistryHelper::DeleteKeyIfEmpty(static_cast<keyRoot>(k.root), k.subKey);
    for (auto it = r.createdDirs.rbegin(); it != r.createdDirs.rend(); ++it) {
        const fs::path p = FsPath(*it);
        if (!places.HoldsDir(*it)) {
            refuse(*it);
        } else if (fs::is_directory(fs::symlink_status(p, ec)) && fs::is_empty(p, ec) &&
                   fs::remove(p, ec)) {
            note(Fmt(tr("removed %s"), *it));
        }
    }
    // The record goes last: a kill before this point leaves it for the next run.
    InstallRecord::Erase(r.productKey);
    for (const auto& k : keys)
        RegistryHelper::DeleteKeyIfEmpty(static_cast<keyRoot>(k.root), k.subKey);
    return result;
}

}  // namespace zub::kitsetup
