#include "unattended.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "kitsetup/install_log.h"
#include "kitsetup/installer_mgr.h"
#include "kitsetup/lists.h"
#include "kitsetup/string_table.h"
#include "zub/platform/error.h"
#include "zub/text.h"

namespace zub::kitsetup {

namespace fs = std::filesystem;
namespace pf = zub::platform;

namespace {

std::string N(const std::wstring& w) { return zub::WideToNarrow(w); }
std::wstring W(const std::string& s) { return zub::NarrowToWide(s); }

void Line(std::FILE* f, const std::wstring& text) {
    std::fputs((N(text) + "\n").c_str(), f);
    std::fflush(f);
}

// Progress and log lines: a live line on a terminal, plain lines in a pipe.
class Console : public SignalReceiver {
public:
    Console(std::FILE* out, int total)
        : out_(out), tty_(::isatty(::fileno(out)) == 1), total_(total) {
        self_ = this;
    }
    ~Console() override {
        DisconnectAll();
        InstallLog::SetEcho(nullptr);
        if (tty_ && done_ > 0) std::fputs("\n", out_);
        self_ = nullptr;
    }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void OnProgress(int count, const std::wstring& text) {
        done_ += count;
        const int percent = total_ > 0 ? std::min(100, done_ * 100 / total_) : 100;
        if (tty_) {
            std::fprintf(out_, "\r\33[K[%3d%%] %d/%d %s", percent, done_, total_, N(text).c_str());
        } else {
            std::fprintf(out_, "[%d/%d] %s\n", done_, total_, N(text).c_str());
        }
        std::fflush(out_);
    }

    static void Echo(const std::wstring& line, bool debug) {
        if (self_ == nullptr || debug) return;
        if (self_->tty_) std::fputs("\r\33[K", self_->out_);
        Line(self_->out_, line);
    }

private:
    static inline Console* self_ = nullptr;
    std::FILE* out_;
    bool tty_;
    int total_;
    int done_ = 0;
};

// The wizard checks a type's modules one by one; names without a module
// have no item to check and so are not selected.
bool Select(InstallerMgr& mgr, const UnattendedOptions& o, std::FILE* err) {
    const auto& types = mgr.InstallTypes();
    std::wstring wanted;
    if (!o.modules.empty()) {
        for (const auto& name : SplitList(W(o.modules), L",")) {
            if (mgr.GetModules().Find(name) == nullptr) {
                Line(err, Fmt(tr("kitsetup: no module %s in install.xml"), name));
                return false;
            }
        }
        wanted = W(o.modules);
    } else {
        std::size_t index = 0;
        if (!o.type.empty()) {
            const std::wstring t = W(o.type);
            const auto byName = std::find_if(types.begin(), types.end(),
                                             [&](const InstallType& it) { return it.name == t; });
            if (byName != types.end()) {
                index = static_cast<std::size_t>(byName - types.begin());
            } else if (!o.type.empty() &&
                       o.type.find_first_not_of("0123456789") == std::string::npos &&
                       o.type.size() < 6 && std::stoul(o.type) >= 1 &&
                       std::stoul(o.type) <= types.size()) {
                index = std::stoul(o.type) - 1;
            } else {
                Line(err, Fmt(tr("kitsetup: no install type %s; the types are:"), t));
                for (std::size_t i = 0; i < types.size(); ++i)
                    Line(err, L"  " + std::to_wstring(i + 1) + L" " + types[i].name);
                return false;
            }
        }
        mgr.selectedInstallType = static_cast<int>(index);
        wanted = types[index].mds;
    }
    std::wstring selection;
    for (const auto& name : SplitList(wanted, L",")) {
        if (mgr.GetModules().Find(name) != nullptr) mergeList(selection, name);
    }
    mgr.WaitInstallModules = selection;
    if (selection.empty()) {
        Line(err, Wide(tr("kitsetup: no module selected")));
        return false;
    }
    return true;
}

void PrintPlan(InstallerMgr& mgr, std::FILE* out) {
    Actions& actions = mgr.GetActions();
    actions.installPath = mgr.InstallPath;
    actions.version = mgr.General().version;
    std::error_code ec;
    Line(out, Fmt(fs::exists(zub::WideToNarrow(mgr.InstallPath), ec)
                      ? tr("install directory: %s (exists)")
                      : tr("install directory: %s"),
                  mgr.InstallPath));
    const auto printActions = [&](bool before, const std::wstring& list) {
        for (const auto& name : SplitList(list, L",")) {
            const Action* a = actions.Find(name);
            if (a == nullptr) {
                Line(out, Fmt(before ? tr("before run: %s (not defined: would fail)")
                                     : tr("after run: %s (not defined: would fail)"),
                              name));
            } else {
                Line(out, Fmt(before ? tr("before run: %s") : tr("after run: %s"),
                              a->progName + L" " + actions.Substitute(a->progParas)));
            }
        }
    };
    std::wstring before, after;
    mgr.SelectedActions(before, after);
    printActions(true, mgr.checkFailActions);
    printActions(true, before);
    std::vector<FileGroups::PlannedCopy> copies;
    const std::wstring fgs = mgr.SelectedFgs();
    FileGroups& groups = mgr.GetFileGroups();
    groups.installDir = mgr.InstallPath;
    const int planned = groups.Plan(fgs, copies);
    for (const auto& c : copies) {
        Line(out, c.copy ? Fmt(tr("copy: %s <- %s"), c.target, c.source)
                         : Fmt(tr("keep: %s"), c.target));
    }
    if (planned != 0) Line(out, Fmt(tr("copy fails: %s"), groups.error.message));
    for (const auto& c : copies) {
        if (c.reg) Line(out, Fmt(tr("register: %s (DllRegisterServer)"), c.target));
        if (c.asmreg) Line(out, Fmt(tr("register assembly: %s (regasm)"), c.target));
    }
    printActions(false, after);
    for (const auto& l : mgr.GetMenus().Plan(mgr.InstallPath, fgs))
        Line(out, Fmt(tr("link: %s -> %s"), l.linkPath, l.target));
    const std::wstring key = L"HKEY_LOCAL_MACHINE\\" + mgr.ProductKey() + L"\\";
    const auto value = [&](const wchar_t* name, const std::wstring& v) {
        Line(out, Fmt(tr("registry: %s = %s"), key + name, v));
    };
    value(L"appPath", mgr.InstallPath);
    value(L"module", mgr.WaitInstallModules);
    value(L"version", mgr.General().version);
    value(L"product", mgr.General().productName);
}

int Uninstall(InstallerMgr& mgr, const std::wstring& dir, std::FILE* out, std::FILE* err) {
    InstallRecord record;
    try {
        if (!mgr.FindInstallRecord(dir, record)) {
            InstallRecord::Tidy();  // what an uninstall killed at its end left
            Line(err, dir.empty()
                          ? Wide(tr("kitsetup: the product is not installed (no install record)"))
                          : Fmt(tr("kitsetup: the product is not installed in %s (no install "
                                   "record)"),
                                dir));
            return kExitUsage;
        }
    } catch (const std::exception& e) {
        Line(err, Fmt(tr("kitsetup: %s"), W(e.what())));
        return kExitInstallFailed;
    }
    std::vector<std::wstring> report;
    const int r = mgr.Uninstall(dir, &report);
    for (const auto& l : report) Line(out, l);
    if (r != 0) {
        Line(err, Fmt(tr("kitsetup: uninstall incomplete: %s"), Shown(mgr.LastError())));
        return kExitInstallFailed;
    }
    Line(out, Fmt(tr("uninstalled %s"), record.installDir));
    return kExitOk;
}

}  // namespace

int RunUnattended(const UnattendedOptions& o, std::FILE* out, std::FILE* err) {
    std::error_code ec;
    const fs::path start = fs::current_path(ec);
    if (!o.from.empty()) {
        fs::current_path(o.from, ec);
        if (ec) {
            Line(err, Fmt(tr("kitsetup: cannot use payload folder %s: %s"), W(o.from),
                          SystemErrorText(pf::ErrorFromErrno(ec.value()))));
            return kExitUsage;
        }
    }
    const std::wstring dir = o.dir.empty() ? L"" : W((start / o.dir).lexically_normal().string());

    InstallerMgr mgr;
    mgr.Init();
    const bool loaded = mgr.LoadScript() == 0;
    if (!loaded && !(o.uninstall && !dir.empty())) {
        Line(err, Fmt(tr("kitsetup: %s"), LoadStr(100) + Shown(mgr.LastError())));
        return kExitUsage;
    }
    mgr.ReadInstalledInfo();
    mgr.InitDefaults();
    if (o.uninstall) return Uninstall(mgr, dir, out, err);

    if (const std::wstring installed = mgr.InstalledProduct(); !installed.empty()) {
        Line(err, Fmt(tr("kitsetup: %s"), FmtId(146, installed)));
        return kExitInstalled;
    }
    if (mgr.General().showLicense && !o.acceptLicense && !o.dryRun) {
        Line(err,
             Wide(tr("kitsetup: the licence (license.txt) must be accepted: --accept-license")));
        return kExitUsage;
    }
    if (!dir.empty()) mgr.InstallPath = dir;
    if (!Select(mgr, o, err)) return kExitUsage;

    bool blocked = false;
    for (const auto& c : mgr.RunChecks()) {
        Line(out, c.caption + L": " + LoadStr(c.passed ? 138 : 139));
        if (c.blocking) {
            Line(err, Fmt(tr("kitsetup: %s"), c.failMsg));
            blocked = true;
        }
    }
    if (blocked) return kExitCheckFailed;

    const int total = mgr.CountFiles();
    if (total == 0) {
        Line(err, Fmt(tr("kitsetup: %s"), LoadStr(150)));
        return kExitNothingToInstall;
    }
    if (o.dryRun) {
        InstallLog::SetPath("");
        PrintPlan(mgr, out);
        return kExitOk;
    }

    int result = -1;
    {
        Console console(out, total);
        mgr.Progress().connect(&console, &Console::OnProgress);
        InstallLog::SetEcho(&Console::Echo);
        try {
            result = mgr.ExecInstall();
            if (result != 0 && !mgr.LastError().empty()) InstallLog::Log(Shown(mgr.LastError()));
        } catch (const std::exception& e) {
            InstallLog::Log(Fmt(tr("%s, catched by ExeInstallMoudles()"), W(e.what())));
        } catch (...) {
            InstallLog::Log(Wide(tr("unknow error, catched by ExeInstallMoudles()")));
        }
        InstallLog::Log(LoadStr(result == 0 ? 142 : 143));
    }
    if (result != 0) {
        if (!mgr.LastError().empty()) Line(err, Fmt(tr("kitsetup: %s"), Shown(mgr.LastError())));
        const std::wstring log = mgr.LogPath();
        Line(err,
             Fmt(tr("kitsetup: %s"), log.empty() ? std::wstring(LoadStr(149)) : FmtId(148, log)));
        return kExitInstallFailed;
    }
    return kExitOk;
}

}  // namespace zub::kitsetup
