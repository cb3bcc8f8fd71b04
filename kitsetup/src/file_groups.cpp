#include "kitsetup/file_groups.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "fsutil.h"
#include "kitsetup/install_log.h"
#include "kitsetup/install_record.h"
#include "kitsetup/lists.h"
#include "kitsetup/string_table.h"
#include "zub/boundary.h"
#include "zub/platform/files.h"
#include "zub/platform/folders.h"
#include "zub/platform/module.h"
#include "zub/platform/process.h"

namespace zub::kitsetup {

namespace fs = std::filesystem;
namespace pf = zub::platform;

namespace {

constexpr const wchar_t* kSourceDir = L"source";

bool Exists(const std::wstring& p) {
    std::error_code ec;
    return fs::exists(FsPath(p), ec);
}

bool IsDir(const std::wstring& p) {
    std::error_code ec;
    return fs::is_directory(FsPath(p), ec);
}

// Restores the working directory however the registration ends.
class WorkingDirGuard {
public:
    explicit WorkingDirGuard(const std::wstring& dir) {
        std::error_code ec;
        saved_ = fs::current_path(ec);
        if (!dir.empty()) fs::current_path(FsPath(dir), ec);
    }
    ~WorkingDirGuard() {
        std::error_code ec;
        if (!saved_.empty()) fs::current_path(saved_, ec);
    }
    WorkingDirGuard(const WorkingDirGuard&) = delete;
    WorkingDirGuard& operator=(const WorkingDirGuard&) = delete;

private:
    fs::path saved_;
};

// Shared with a registration thread that may outlive the wait.
struct Completion {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
};

}  // namespace

std::wstring FileGroups::TargetDir(const std::wstring& target) const {
    if (target.empty()) return {};
    std::wstring base;
    if (target[0] == L'0') {
        base = installDir;
    } else if (target[0] == L'1') {
        pf::GetSpecialFolder(pf::SpecialFolder::System, base);
    }
    return base + LocalPath(target.substr(1));
}

const FileGroup* FileGroups::Find(const std::wstring& name) {
    const auto it = groups.find(name);
    if (it == groups.end()) {
        error.Set(-1, Fmt(tr("文件组 %s 未定义"), name));
        InstallLog::Log(error.message);
        return nullptr;
    }
    return &it->second;
}

void FileGroups::CopyFailed(unsigned code, const std::wstring& target, const std::wstring& source) {
    error.Set(static_cast<int>(code),
              FmtId(37, static_cast<int>(code), SystemErrorText(code), target, source));
    InstallLog::Log(error.message);
}

bool FileGroups::EntryPaths(const FileGroup& g, const std::wstring& entry, std::wstring& target,
                            std::wstring& source) {
    const std::wstring dir = TargetDir(g.target);
    std::wstring rest = g.target.empty() ? std::wstring() : LocalPath(g.target.substr(1));
    rest.erase(0, rest.find_first_not_of(L'/'));
    const bool based = !g.target.empty() && (g.target[0] == L'0' || g.target[0] == L'1');
    const std::wstring source0 = joinPath(CurrentDir(), kSourceDir);
    target = dir.empty() ? entry : joinPath(dir, LocalPath(entry));
    source = joinPath(source0, LocalPath(entry));
    // joinPath needs two non-empty parts; an entry may not climb out of the
    // payload or (through it or the target) out of its base directory.
    const auto blank = [](const std::wstring& s) {
        return s.find_first_not_of(L" \\/") == std::wstring::npos;
    };
    if (blank(entry) || blank(dir) || !StaysBelow(entry) || (based && !StaysBelow(rest))) {
        CopyFailed(pf::kErrorBadPathname, target, source);
        return false;
    }
    return true;
}

FileGroups::Decision FileGroups::Decide(const std::wstring& target, const std::wstring& source,
                                        int mode) {
    if (!Exists(target)) return Decision::Copy;
    const auto newerTime = [&] {
        pf::FileTime s, t;
        if (pf::GetFileCreationTime(source, s) != 0 || pf::GetFileCreationTime(target, t) != 0)
            return false;
        return pf::CompareFileTime(s, t) == 1;
    };
    const auto newerVersion = [&] {
        return pf::GetFileVersion(source) > pf::GetFileVersion(target);
    };
    switch (mode) {
        case kowNever:
            InstallLog::DebugLog(Fmt(tr("目标文件 %s 已存在，无需拷贝"), target));
            return Decision::Keep;
        case kowAlways:
            return Decision::Copy;
        case kowTime:
            if (newerTime()) return Decision::Copy;
            InstallLog::DebugLog(Fmt(tr("目标文件 %s 时间更新，无需拷贝"), target));
            return Decision::Keep;
        case kowVersion:
            if (newerVersion()) return Decision::Copy;
            InstallLog::DebugLog(Fmt(tr("目标文件 %s 版本更新，无需拷贝"), target));
            return Decision::Keep;
        case kowVerThenTm:
            if (newerVersion() || newerTime()) return Decision::Copy;
            InstallLog::DebugLog(Fmt(tr("目标文件 %s 更新，无需拷贝"), target));
            return Decision::Keep;
        default:
            error.Set(-1, FmtId(36, target, mode));
            InstallLog::Log(error.message);
            return Decision::Fail;
    }
}

unsigned FileGroups::MakeDirs(const std::wstring& dir) {
    if (record_ != nullptr) {
        std::vector<std::wstring> missing;
        for (fs::path p = FsPath(dir); !p.empty() && p != p.root_path(); p = p.parent_path()) {
            std::error_code ec;
            if (fs::exists(p, ec)) break;
            missing.push_back(WPath(p));
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) record_->NoteDir(*it);
    }
    const pf::Error e = pf::CreateDirectoryWithParents(dir);
    return e == pf::kErrorAlreadyExists ? 0 : e;
}

bool FileGroups::DoCopy(const std::wstring& target, const std::wstring& source) {
    unsigned e = 0;
    if (IsDir(source)) {
        e = MakeDirs(target);
        std::error_code ec;
        fs::recursive_directory_iterator it(FsPath(source), ec), end;
        if (ec) e = pf::ErrorFromErrno(ec.value());
        for (; e == 0 && it != end; it.increment(ec)) {
            if (ec) {
                e = pf::ErrorFromErrno(ec.value());
                break;
            }
            const std::wstring to =
                WPath(FsPath(target) / it->path().lexically_relative(FsPath(source)));
            if (it->is_directory(ec)) {
                e = MakeDirs(to);
            } else {
                if (record_ != nullptr) record_->NoteFile(to, Exists(to));
                e = pf::CopyFile(WPath(it->path()), to, false);
            }
        }
        if (e == 0 && ec) e = pf::ErrorFromErrno(ec.value());
    } else if (!Exists(source)) {
        e = pf::kErrorFileNotFound;
    } else {
        e = MakeDirs(WPath(FsPath(target).parent_path()));
        if (e == 0 && record_ != nullptr) record_->NoteFile(target, Exists(target));
        if (e == 0) e = pf::CopyFile(source, target, false);
    }
    if (e != 0) {
        CopyFailed(e, target, source);
        return false;
    }
    return true;
}

bool FileGroups::CopyOneFile(const std::wstring& target, const std::wstring& source, int mode,
                             bool& copied) {
    copied = false;
    switch (Decide(target, source, mode)) {
        case Decision::Fail:
            return false;
        case Decision::Keep:
            return true;
        case Decision::Copy:
            break;
    }
    if (!DoCopy(target, source)) return false;
    copied = true;
    return true;
}

void FileGroups::LinkCommand(const std::wstring& file) {
    std::wstring folder;
    pf::GetSpecialFolder(pf::SpecialFolder::CommandLinks, folder);
    const fs::path link = FsPath(folder) / FsPath(file).filename();
    const std::wstring linkPath = WPath(link);
    std::error_code ec;
    // Someone else's command of that name stays; a link to this file is ours already.
    if (fs::is_symlink(link, ec) && fs::read_symlink(link, ec) == FsPath(file)) return;
    if (fs::exists(fs::symlink_status(link, ec))) {
        InstallLog::Log(Fmt(tr("命令 %s 已存在，未链接到 %s"), linkPath, file));
        return;
    }
    if (record_ != nullptr) {
        std::vector<std::wstring> missing;
        for (fs::path p = link.parent_path(); !p.empty() && p != p.root_path();
             p = p.parent_path()) {
            if (fs::exists(p, ec)) break;
            missing.push_back(WPath(p));
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) record_->NoteDir(*it);
        record_->NoteCommandLink(linkPath, file);
    }
    fs::create_directories(link.parent_path(), ec);
    if (!ec) fs::create_symlink(FsPath(file), link, ec);
    if (ec) {
        const pf::Error e = pf::ErrorFromErrno(ec.value());
        InstallLog::Log(Fmt(tr("创建命令链接出错(%d), %s, %s"), static_cast<int>(e),
                            SystemErrorText(e), linkPath));
        return;
    }
    InstallLog::Log(Fmt(tr("创建命令链接: %s -> %s"), linkPath, file));
}

void FileGroups::LinkCommands(const std::wstring& target) {
    std::error_code ec;
    if (!IsDir(target)) {
        LinkCommand(target);
        return;
    }
    // A copied folder: its programs, not its sub-folders.
    for (const auto& e : fs::directory_iterator(FsPath(target), ec)) {
        if (e.is_regular_file(ec)) LinkCommand(WPath(e.path()));
    }
}

int FileGroups::CopyGroup(const std::wstring& name, std::vector<std::wstring>& inProcess,
                          std::vector<std::wstring>& assemblies) {
    const FileGroup* g = Find(name);
    if (g == nullptr) return -1;
    InstallLog::DebugLog(Fmt(tr("begin copy files in fgs=%s"), name));
    for (const auto& entry : SplitList(g->files, L",")) {
        std::wstring target, source;
        const bool valid = EntryPaths(*g, entry, target, source);
        progress.emit(1, target);
        if (!valid) return -1;
        InstallLog::DebugLog(Fmt(tr("开始拷贝文件, 目标: %s, 源: %s"), target, source));
        bool copied = false;
        if (!CopyOneFile(target, source, g->overwrite, copied)) return -1;
        if (copied) {
            if (g->reg) {
                inProcess.push_back(target);
            } else if (g->asmreg) {
                assemblies.push_back(target);
            }
            InstallLog::Log(FmtId(34, target));
            if (g->onPath) LinkCommands(target);
        } else {
            if (record_ != nullptr) record_->skippedFiles.push_back(target);
            InstallLog::Log(FmtId(35, target));
        }
    }
    return 0;
}

int FileGroups::DoCopyFgs(const std::wstring& fgs, std::vector<std::wstring>& inProcess,
                          std::vector<std::wstring>& assemblies) {
    return ZUBBASE::Guard(
        ZUBBASE::CatchPlace{L"file_groups", L"FileGroups::DoCopyFgs", __LINE__}, -1,
        [&] {
            for (const auto& name : SplitList(fgs, L",")) {
                if (CopyGroup(name, inProcess, assemblies) != 0) return -1;
            }
            return 0;
        },
        [this](const ZUBBASE::QV_Exception& e) {
            error.Set(-1, L"FileGroups::DoCopyFgs() error: " + e.Message() + L"\n");
            return -1;
        });
}

int FileGroups::Plan(const std::wstring& fgs, std::vector<PlannedCopy>& out) {
    for (const auto& name : SplitList(fgs, L",")) {
        const FileGroup* g = Find(name);
        if (g == nullptr) return -1;
        for (const auto& entry : SplitList(g->files, L",")) {
            PlannedCopy p;
            p.group = name;
            if (!EntryPaths(*g, entry, p.target, p.source)) return -1;
            const Decision d = Decide(p.target, p.source, g->overwrite);
            if (d == Decision::Fail) return -1;
            p.copy = d == Decision::Copy;
            p.reg = p.copy && g->reg;
            p.asmreg = p.copy && !g->reg && g->asmreg;
            out.push_back(std::move(p));
        }
    }
    return 0;
}

int FileGroups::CallEntryPoint(const std::wstring& file, const char* entry) {
    const WorkingDirGuard cwd(installDir);
    pf::Library lib;
    if (pf::LoadLibrary(file, lib) != 0) {
        error.Set(kErrNotALibrary, Wide(ZUB_N_(":file not exists or not a valid DLL file.")));
        return -1;
    }
    void* address = nullptr;
    if (pf::GetProcAddress(lib.Handle(), entry, address) != 0 || address == nullptr) {
        error.Set(kErrNoEntryPoint, Wide(ZUB_N_(":Registration failed in obtaining entry point.")));
        return -1;
    }
    // The library stays loaded: its routine may still run after a time-out.
    lib.Release();
    using EntryPoint = std::int32_t (*)();
    const auto routine = reinterpret_cast<EntryPoint>(address);
    auto done = std::make_shared<Completion>();
    try {
        std::thread([routine, done] {
            routine();
            std::lock_guard lock(done->m);
            done->done = true;
            done->cv.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        error.Set(kErrNoThread, Wide(ZUB_N_(":Registration failed creating thread.")));
        return -1;
    }
    std::unique_lock lock(done->m);
    if (!done->cv.wait_for(lock, timeout_, [&] { return done->done; })) {
        error.Set(kErrTimedOut,
                  Wide(ZUB_N_(":Registration failed in signaled state or time-out.")));
        return -1;
    }
    return 0;
}

int FileGroups::RegisterInProcess(const std::wstring& file) {
    return CallEntryPoint(file, "DllRegisterServer");
}

int FileGroups::UnregisterInProcess(const std::wstring& file) {
    return CallEntryPoint(file, "DllUnregisterServer");
}

int FileGroups::RegisterAllInProcess(const std::vector<std::wstring>& files) {
    for (const auto& f : files) {
        if (record_ != nullptr) record_->NoteDll(f);
        if (RegisterInProcess(f) != 0) {
            InstallLog::Log(f + Shown(error.message));
            return -1;
        }
        InstallLog::Log(LoadStr(20) + f);
    }
    return 0;
}

namespace {

pf::Error StartRegasm(const std::wstring& file, const wchar_t* option) {
    pf::ShellExecuteInfo info;
    info.file = L"regasm";
    info.parameters = L" \"" + file + L"\" " + option;
    info.show = pf::kSwHide;
    info.wantProcess = false;
    pf::Process process;
    return pf::ShellExecute(info, process);
}

}  // namespace

void FileGroups::RegisterAssembly(const std::wstring& file) {
    if (record_ != nullptr) record_->NoteAssembly(file);
    const pf::Error e = StartRegasm(file, L"/codebase");
    // Never fails the install, but an unstarted tool is not kept quiet.
    if (e != 0) InstallLog::Log(Fmt(tr("regasm %s: %s"), file, SystemErrorText(e)));
}

void FileGroups::UnregisterAssembly(const std::wstring& file) { StartRegasm(file, L"/u"); }

int FileGroups::RegisterAllAssemblies(const std::vector<std::wstring>& files) {
    for (const auto& f : files) {
        RegisterAssembly(f);
        InstallLog::Log(LoadStr(21) + f);
    }
    return 0;
}

}  // namespace zub::kitsetup
