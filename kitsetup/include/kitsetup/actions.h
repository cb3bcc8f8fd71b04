// Programs started around the install, with "%" substitutions.
#pragma once

#include <map>
#include <string>

#include "kitsetup/error_info.h"
#include "kitsetup/script.h"

namespace zub::kitsetup {

class Actions {
public:
    ErrorInfo error;
    std::map<std::wstring, Action> map;
    std::wstring installPath;  // "%p"
    std::wstring version;      // "%v"

    // 0, or the first failing action's result.
    int RunList(const std::wstring& names);
    // 0 or -1 (error set): an undefined name, a program that cannot be
    // started, the unsupported delayed start.
    int Run(const std::wstring& name);
    std::wstring Substitute(const std::wstring& paras);

    const Action* Find(const std::wstring& name) const;
    // The working directory an action starts in ("" keeps the installer's).
    std::wstring WorkingDir(const Action& a) const;
};

}  // namespace zub::kitsetup
