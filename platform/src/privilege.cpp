#include "zub/platform/privilege.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <utility>

#include "zub/platform/folders.h"
#include "zub/platform/process.h"
#include "zub/text.h"

namespace zub::platform {

namespace {

std::mutex gHandlerMutex;
RebootHandler gHandler;

Error Done(Error e) {
    SetLastError(e);
    return e;
}

Error DefaultReboot() {
    std::wstring root = RootPrefix();
    if (!root.empty()) {
        // A sandbox records the request and never reboots.
        std::filesystem::path marker(WideToUtf8(root) + "/tmp/reboot-requested");
        std::error_code ec;
        std::filesystem::create_directories(marker.parent_path(), ec);
        std::ofstream(marker) << "reboot\n";
        return std::filesystem::exists(marker, ec) ? kErrorSuccess : kErrorAccessDenied;
    }
    ShellExecuteInfo info;
    info.file = L"systemctl";
    info.parameters = L"reboot";
    Process process;
    Error e = ShellExecute(info, process);
    if (e != kErrorSuccess) return e;
    if ((e = process.Wait(kInfinite)) != kErrorSuccess) return e;
    std::uint32_t code = 0;
    process.GetExitCode(code);
    return code == 0 ? kErrorSuccess : kErrorPrivilegeNotHeld;
}

}  // namespace

bool IsProcessPrivileged() {
    const char* forced = std::getenv("ZUB_PRIVILEGED");
    if (forced != nullptr && (std::string(forced) == "0" || std::string(forced) == "1"))
        return forced[0] == '1';
    return ::geteuid() == 0;
}

Error EnableShutdownPrivilege() {
    return Done(IsProcessPrivileged() ? kErrorSuccess : kErrorNotAllAssigned);
}

Error RequestReboot() {
    if (!IsProcessPrivileged()) return Done(kErrorPrivilegeNotHeld);
    RebootHandler handler;
    {
        std::lock_guard lock(gHandlerMutex);
        handler = gHandler;
    }
    return Done(handler ? handler() : DefaultReboot());
}

RebootHandler SetRebootHandler(RebootHandler handler) {
    std::lock_guard lock(gHandlerMutex);
    return std::exchange(gHandler, std::move(handler));
}

}  // namespace zub::platform
