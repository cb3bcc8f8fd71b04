#include "wizard/mgr_engine.h"

#include <filesystem>
#include <set>

#include "kitsetup/install_log.h"
#include "kitsetup/lists.h"
#include "zub/text.h"

namespace zub::kitsetup {

namespace {

namespace fs = std::filesystem;

// A file's size, or the sizes of all files below a folder; 0 for what is
// missing (the install reports that).
unsigned long long BytesOf(const fs::path& p) {
    std::error_code ec;
    if (fs::is_regular_file(p, ec)) {
        const auto size = fs::file_size(p, ec);
        return ec ? 0 : size;
    }
    unsigned long long total = 0;
    if (!fs::is_directory(p, ec)) return 0;
    for (fs::recursive_directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) total += it->file_size(ec);
    }
    return total;
}

}  // namespace

int MgrEngine::LoadScript() {
    mgr_.Init();
    const int result = mgr_.LoadScript();
    payloadBytes_ = 0;
    if (result != 0) return result;
    // File groups copy from "source" in the payload folder, the working one.
    std::error_code ec;
    const fs::path source = fs::current_path(ec) / "source";
    std::set<std::wstring> counted;
    for (const auto& [name, group] : mgr_.GetFileGroups().groups) {
        for (const auto& entry : SplitList(group.files, L",")) {
            const std::wstring local = LocalPath(entry);
            if (counted.insert(local).second) {
                payloadBytes_ += BytesOf(source / zub::WideToNarrow(local));
            }
        }
    }
    return result;
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
    return written.empty() ? zub::NarrowToWide(InstallLog::Path()) : written;
}

}  // namespace zub::kitsetup
