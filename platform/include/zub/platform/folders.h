// Special folders and the thread locale.
//
// Every folder lies below the prefix $ZUB_ROOT when it is set (read on each
// call), so a test or a staged install runs in a sandbox. The results are
// absolute paths with "/" and no trailing separator. Nothing is created.
#pragma once

#include <cstdint>
#include <string>

#include "zub/platform/error.h"

namespace zub::platform {

// CSIDL numbers, so callers can keep theirs.
enum class SpecialFolder : int {
    Desktop = 0x0000,                 // the user's desktop (XDG)
    Programs = 0x0002,                // ~/.local/share/applications
    AppData = 0x001A,                 // $XDG_DATA_HOME or ~/.local/share
    CommonPrograms = 0x0017,          // /usr/share/applications
    CommonDesktopDirectory = 0x0019,  // the XDG desktop folder (see below)
    CommonAppData = 0x0023,           // /var/lib
    System = 0x0025,                  // /usr/lib
    ProgramFiles = 0x0026,            // /opt
    Temp = 0x7FFF,                    // $TMPDIR or /tmp (no CSIDL; GetTempPath)
    CommandLinks = 0x7FFE,            // /usr/local/bin: commands on every user's PATH (no CSIDL)
};

// The folder's path. Unknown kinds: kErrorInvalidParameter.
// Desktops: XDG_DESKTOP_DIR from $XDG_CONFIG_HOME/user-dirs.dirs when that
// file names one, else ~/Desktop; the common desktop is the same folder, as
// desktop environments here show one desktop per user.
Error GetSpecialFolder(SpecialFolder folder, std::wstring& path);

// The sandbox prefix ("" when ZUB_ROOT is unset) and a path below it.
std::wstring RootPrefix();
std::wstring UnderRoot(const std::wstring& absolutePath);

// Thread locale (LCID). Kept per thread, starting at the user default
// 0x0409; setting records the value and changes nothing else (text here is
// always UTF-8). Set returns true as SetThreadLocale does. 0x0800
// (LOCALE_SYSTEM_DEFAULT) and 0x0400 (LOCALE_USER_DEFAULT) stand for 0x0409.
using Lcid = std::uint32_t;
inline constexpr Lcid kLocaleSystemDefault = 0x0800;
inline constexpr Lcid kLocaleUserDefault = 0x0400;
Lcid GetThreadLocale();
bool SetThreadLocale(Lcid locale);

}  // namespace zub::platform
