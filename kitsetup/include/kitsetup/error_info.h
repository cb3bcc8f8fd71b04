// Code and message of an installer component's last failure.
#pragma once

#include <string>

namespace zub::kitsetup {

struct ErrorInfo {
    int code = 0;
    std::wstring message;

    void Set(int c, std::wstring m) {
        code = c;
        message = std::move(m);
    }
    void Clear() { Set(0, {}); }
};

}  // namespace zub::kitsetup
