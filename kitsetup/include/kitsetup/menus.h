// Start-menu and desktop shortcuts for the installed file groups.
#pragma once

#include <string>
#include <vector>

#include "kitsetup/error_info.h"
#include "kitsetup/script.h"

namespace kitsetup {

struct InstallRecord;

class Menus {
public:
    // Link files are desktop entries here.
    static constexpr const wchar_t* kLinkExtension = L".desktop";

    struct PlannedLink {
        std::wstring linkPath;
        std::wstring target;
    };

    ErrorInfo error;
    std::vector<MenuItem> items;
    std::wstring installDir;

    void SetRecord(InstallRecord* record) { record_ = record; }

    // Writes the links of the menus of the installed groups: 0, or -1 with
    // error set (and logged) at the first link that cannot be written.
    int CreateMenus(const std::wstring& installDirectory, const std::wstring& fgs);
    // The links CreateMenus would write.
    std::vector<PlannedLink> Plan(const std::wstring& installDirectory,
                                  const std::wstring& fgs) const;

private:
    bool CreateOne(const MenuItem& m);
    // Records a link that could not be made; false.
    bool Failed(unsigned code, const std::wstring& link);
    std::vector<PlannedLink> Links(const MenuItem& m) const;

    InstallRecord* record_ = nullptr;
};

}  // namespace kitsetup
