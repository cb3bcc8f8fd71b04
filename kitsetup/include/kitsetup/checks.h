// Prerequisite checks: registry keys and services, with "||" alternatives.
#pragma once

#include <map>
#include <string>

#include "kitsetup/error_info.h"
#include "kitsetup/script.h"

namespace zub::kitsetup {

class Checks {
public:
    std::map<std::wstring, Check> map;
    ErrorInfo error;

    // True when the check passes. An undefined name, a check without a
    // parameter and an alternative with an unknown root all fail (error set
    // for the first two).
    bool Run(const std::wstring& name);

    const Check* Find(const std::wstring& name) const;

    // Adds the check's whole actionsWhenFails as one item of queue.
    static void QueueFailActions(const Check& check, std::wstring& queue);
};

}  // namespace zub::kitsetup
