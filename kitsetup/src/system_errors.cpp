#include "kitsetup/string_table.h"
#include "zub/platform/error.h"

namespace zub::kitsetup {

namespace {

// The system's texts of the errors an install runs into (files, folders,
// programs, the registry): marked here so that the installer's catalog
// translates them.
[[maybe_unused]] constexpr const char* kMarked[] = {
    ZUB_N_("Incorrect function."),
    ZUB_N_("The system cannot find the file specified."),
    ZUB_N_("The system cannot find the path specified."),
    ZUB_N_("Access is denied."),
    ZUB_N_("The handle is invalid."),
    ZUB_N_("Not enough memory resources are available to process this command."),
    ZUB_N_("The process cannot access the file because it is being used by another process."),
    ZUB_N_("The request is not supported."),
    ZUB_N_("The file exists."),
    ZUB_N_("The parameter is incorrect."),
    ZUB_N_("There is not enough space on the disk."),
    ZUB_N_("The filename, directory name, or volume label syntax is incorrect."),
    ZUB_N_("The directory is not empty."),
    ZUB_N_("The specified path is invalid."),
    ZUB_N_("Cannot create a file when that file already exists."),
    ZUB_N_("The filename or extension is too long."),
    ZUB_N_("The configuration registry key could not be written."),
    ZUB_N_("No application is associated with the specified file for this operation."),
};

}  // namespace

std::wstring SystemErrorText(unsigned error) { return Shown(zub::platform::ErrorText(error)); }

}  // namespace zub::kitsetup
