#include "kitsetup/actions.h"

#include "fsutil.h"
#include "kitsetup/install_log.h"
#include "kitsetup/lists.h"
#include "kitsetup/string_table.h"
#include "zub/platform/process.h"

namespace zub::kitsetup {

namespace pf = zub::platform;

const Action* Actions::Find(const std::wstring& name) const {
    const auto it = map.find(name);
    return it == map.end() ? nullptr : &it->second;
}

std::wstring Actions::WorkingDir(const Action& a) const {
    return a.exePostion == exeInstallPath ? installPath : std::wstring();
}

std::wstring Actions::Substitute(const std::wstring& paras) {
    std::wstring s = paras;
    std::size_t pos = s.find(L'%');
    while (pos != std::wstring::npos) {
        if (pos + 1 >= s.size()) {
            error.Set(-1, FmtId(15, std::wstring(L"ACTION"), std::wstring(L"progParas"), s));
            return s;
        }
        std::wstring with;
        switch (s[pos + 1]) {
            case L'p':
                with = installPath;
                break;
            case L'q':
                if (!installPath.empty()) with = L"\"" + installPath + L"\"";
                break;
            case L'v':
                with = version;
                break;
            case L'%':
                with = L"%";
                break;
            default:
                break;
        }
        if (with.empty()) return s;
        s.replace(pos, 2, with);
        pos = s.find(L'%', pos + with.size());
    }
    return s;
}

int Actions::Run(const std::wstring& name) {
    const Action* a = Find(name);
    if (a == nullptr) {
        error.Set(-1, Fmt(tr("动作 %s 未定义"), name));
        InstallLog::Log(error.message);
        return -1;
    }
    const std::wstring params = Substitute(a->progParas);
    InstallLog::Log(LoadStr(22) + a->progName + L" " + params);

    pf::ShellExecuteInfo info;
    info.file = LocalPath(a->progName);
    info.parameters = params;
    info.directory = WorkingDir(*a);
    // Actions queued by failed checks run before the install directory is
    // made; they start in the installer's directory rather than not at all.
    std::error_code ec;
    if (!info.directory.empty() && !std::filesystem::is_directory(FsPath(info.directory), ec))
        info.directory.clear();
    info.show = pf::kSwShowDefault;
    info.wantProcess = true;
    // As the shell does, a bare name is looked for in the working directory
    // before the search path.
    if (!info.file.empty() && info.file.find(L'/') == std::wstring::npos) {
        const std::wstring local =
            joinPath(info.directory.empty() ? CurrentDir() : info.directory, info.file);
        if (std::filesystem::is_regular_file(FsPath(local), ec)) info.file = local;
    }
    pf::Process process;
    const pf::Error e = pf::ShellExecute(info, process);
    const auto failed = [&](pf::Error code) {
        error.Set(-1,
                  FmtId(32, static_cast<int>(code), SystemErrorText(code), a->progName, params));
        InstallLog::Log(error.message);
        return -1;
    };
    if (e != 0) return failed(e);
    switch (a->actionType) {
        case RunProgWait:
            if (process.IsValid()) process.Wait(pf::kInfinite);
            return 0;
        case RunProgNoWait:
            process.Close();
            return 0;
        case RunProgDelay:
        default:
            // No delayed start is defined: the started program is left alone
            // and the action fails, so the install does not go on unknowingly.
            process.Close();
            return failed(pf::LastError());
    }
}

int Actions::RunList(const std::wstring& names) {
    if (names.empty()) return 0;
    for (const auto& n : SplitList(names, L",")) {
        const int r = Run(n);
        if (r != 0) return r;
    }
    return 0;
}

}  // namespace zub::kitsetup
