// Process privilege and the reboot request.
#pragma once

#include <functional>

#include "zub/platform/error.h"

namespace zub::platform {

// Whether the process runs with administrator rights (effective user root).
// ZUB_PRIVILEGED=0 or =1 in the environment overrides the answer, so tests
// and staged runs can play either side.
bool IsProcessPrivileged();

// AdjustTokenPrivileges for "SeShutdownPrivilege": 0 when the process holds
// it (is privileged), else kErrorNotAllAssigned (1300).
Error EnableShutdownPrivilege();

// ExitWindowsEx(EWX_REBOOT | EWX_FORCE): kErrorPrivilegeNotHeld (1314) when
// the process is not privileged; otherwise the reboot handler's result. The
// default handler asks systemd to reboot, unless ZUB_ROOT is set: then it only
// writes the file $ZUB_ROOT/tmp/reboot-requested and returns 0, so a sandbox
// never reboots.
Error RequestReboot();

// Replaces the handler (an empty one restores the default); returns the one
// that was set.
using RebootHandler = std::function<Error()>;
RebootHandler SetRebootHandler(RebootHandler handler);

}  // namespace zub::platform
