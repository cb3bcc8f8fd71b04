#include "kitsetup/menus.h"

#include "fsutil.h"
#include "kitsetup/install_log.h"
#include "kitsetup/install_record.h"
#include "kitsetup/lists.h"
#include "kitsetup/string_table.h"
#include "zub/boundary.h"
#include "zub/platform/files.h"
#include "zub/platform/folders.h"
#include "zub/platform/shelllink.h"

namespace zub::kitsetup {

namespace pf = zub::platform;
namespace fs = std::filesystem;

std::vector<Menus::PlannedLink> Menus::Links(const MenuItem& m) const {
    const auto parts = SplitList(m.txt, L"\\");
    const std::wstring name = parts.size() >= 2 ? parts[1] : m.txt;
    const std::wstring target =
        m.isSpecial ? LocalPath(m.target) : joinPath(installDir, LocalPath(m.target));
    std::wstring programs, desktop;
    pf::GetSpecialFolder(pf::SpecialFolder::CommonPrograms, programs);
    pf::GetSpecialFolder(pf::SpecialFolder::CommonDesktopDirectory, desktop);
    std::vector<PlannedLink> links;
    links.push_back({joinPath(programs, LocalPath(m.txt) + kLinkExtension), target});
    if (m.shortcut) links.push_back({joinPath(desktop, name + kLinkExtension), target});
    return links;
}

std::vector<Menus::PlannedLink> Menus::Plan(const std::wstring& installDirectory,
                                            const std::wstring& fgs) const {
    Menus copy = *this;
    copy.installDir = installDirectory;
    std::vector<PlannedLink> out;
    for (const auto& m : items) {
        if (!ListContains(fgs, m.dependnOn)) continue;
        for (auto& l : copy.Links(m)) out.push_back(std::move(l));
    }
    return out;
}

bool Menus::Failed(unsigned code, const std::wstring& link) {
    error.Set(static_cast<int>(code), Fmt(tr("创建菜单出错(%d), %s, %s"), static_cast<int>(code),
                                          SystemErrorText(code), link));
    InstallLog::Log(error.message);
    return false;
}

bool Menus::CreateOne(const MenuItem& m) {
    if (!StaysBelow(m.txt)) return Failed(pf::kErrorBadPathname, m.txt);
    for (const auto& l : Links(m)) {
        // The menu folders of a fresh machine (or sandbox) may not exist yet.
        const std::wstring parent = WPath(FsPath(l.linkPath).parent_path());
        if (record_ != nullptr) {
            std::vector<std::wstring> missing;
            for (fs::path p = FsPath(parent); !p.empty() && p != p.root_path();
                 p = p.parent_path()) {
                std::error_code ec;
                if (fs::exists(p, ec)) break;
                missing.push_back(WPath(p));
            }
            for (auto it = missing.rbegin(); it != missing.rend(); ++it) record_->NoteDir(*it);
        }
        const pf::Error made = pf::CreateDirectoryWithParents(parent);
        if (made != 0 && made != pf::kErrorAlreadyExists) return Failed(made, l.linkPath);
        pf::ShellLink link;
        link.target = l.target;
        link.workingDirectory = installDir;
        link.terminal = m.terminal;
        if (!m.icon.empty()) link.iconPath = joinPath(installDir, LocalPath(m.icon));
        std::error_code ec;
        if (record_ != nullptr && !fs::exists(FsPath(l.linkPath), ec))
            record_->NoteShortcut(l.linkPath);
        if (const pf::Error e = pf::WriteShellLink(link, l.linkPath); e != 0)
            return Failed(e, l.linkPath);
    }
    return true;
}

int Menus::CreateMenus(const std::wstring& installDirectory, const std::wstring& fgs) {
    return ZUBBASE::Guard(
        ZUBBASE::CatchPlace{L"menus", L"Menus::CreateMenus", __LINE__}, -1,
        [&] {
            installDir = installDirectory;
            for (const auto& m : items) {
                if (!ListContains(fgs, m.dependnOn)) continue;
                if (!CreateOne(m)) return -1;
                InstallLog::Log(Fmt(tr("创建菜单: %s"), m.txt));
            }
            return 0;
        },
        [this](const ZUBBASE::QV_Exception& e) {
            error.Set(-1, L"Menus::CreateMenus() error: " + e.Message() + L"\n");
            return -1;
        });
}

}  // namespace zub::kitsetup
