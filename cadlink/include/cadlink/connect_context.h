// What Connect learns from the bridge and hands to CreateCommand.
#pragma once

#include <string>

namespace ZUBCAX {

struct ConnectContext {
    void* appHandle = nullptr;
    std::wstring appInfo;
    int creator = 0;
    std::wstring versionName;
};

}  // namespace ZUBCAX
