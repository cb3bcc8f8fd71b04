// The installer without a window: the wizard's flow driven by options.
#pragma once

#include <cstdio>
#include <string>

namespace zub::kitsetup {

struct UnattendedOptions {
    std::string from;     // payload folder holding install.xml and source/
    std::string dir;      // install directory; default: the script's
    std::string type;     // install type by name or 1-based number
    std::string modules;  // comma list, instead of a type
    bool acceptLicense = false;
    bool dryRun = false;
    bool uninstall = false;
};

// Exit codes.
enum : int {
    kExitOk = 0,
    kExitInstallFailed = 1,
    kExitUsage = 2,
    kExitInstalled = 3,
    kExitCheckFailed = 4,
    kExitNothingToInstall = 5,
};

int RunUnattended(const UnattendedOptions& options, std::FILE* out, std::FILE* err);

}  // namespace zub::kitsetup
