#include "zub/platform/error.h"

#include <cerrno>
#include <string>

namespace zub::platform {

namespace {

thread_local Error tLastError = kErrorSuccess;

struct ErrorEntry {
    Error number;
    const wchar_t* text;
};

// The system's English texts.
constexpr ErrorEntry kTexts[] = {
    {0, L"The operation completed successfully."},
    {1, L"Incorrect function."},
    {2, L"The system cannot find the file specified."},
    {3, L"The system cannot find the path specified."},
    {5, L"Access is denied."},
    {6, L"The handle is invalid."},
    {8, L"Not enough memory resources are available to process this command."},
    {11, L"An attempt was made to load a program with an incorrect format."},
    {13, L"The data is invalid."},
    {32, L"The process cannot access the file because it is being used by another process."},
    {50, L"The request is not supported."},
    {80, L"The file exists."},
    {87, L"The parameter is incorrect."},
    {112, L"There is not enough space on the disk."},
    {122, L"The data area passed to a system call is too small."},
    {123, L"The filename, directory name, or volume label syntax is incorrect."},
    {126, L"The specified module could not be found."},
    {127, L"The specified procedure could not be found."},
    {145, L"The directory is not empty."},
    {161, L"The specified path is invalid."},
    {170, L"The requested resource is in use."},
    {183, L"Cannot create a file when that file already exists."},
    {193, L"%1 is not a valid Win32 application."},
    {203, L"The system could not find the environment option that was entered."},
    {206, L"The filename or extension is too long."},
    {234, L"More data is available."},
    {258, L"The wait operation timed out."},
    {259, L"No more data is available."},
    {267, L"The directory name is invalid."},
    {740, L"The requested operation requires elevation."},
    {1010, L"The configuration registry key is invalid."},
    {1013, L"The configuration registry key could not be written."},
    {1015, L"The registry is corrupted."},
    {1016, L"An I/O operation initiated by the registry failed unrecoverably."},
    {1018, L"Illegal operation attempted on a registry key that has been marked for deletion."},
    {1060, L"The specified service does not exist as an installed service."},
    {1155, L"No application is associated with the specified file for this operation."},
    {1223, L"The operation was canceled by the user."},
    {1300, L"Not all privileges or groups referenced are assigned to the caller."},
    {1314, L"A required privilege is not held by the client."},
    {1812, L"The specified image file did not contain a resource section."},
    {1813, L"The specified resource type cannot be found in the image file."},
    {1814, L"The specified resource name cannot be found in the image file."},
};

}  // namespace

std::wstring ErrorText(Error error) {
    for (const auto& entry : kTexts) {
        if (entry.number == error) return entry.text;
    }
    return L"Unknown error " + std::to_wstring(error) + L".";
}

Error LastError() { return tLastError; }

void SetLastError(Error error) { tLastError = error; }

Error ErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
        case 0:
            return kErrorSuccess;
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return kErrorAccessDenied;
        case EBADF:
            return kErrorInvalidHandle;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case ENOEXEC:
            return kErrorBadExeFormat;
        case EBUSY:
        case ETXTBSY:
            return kErrorSharingViolation;
        case EEXIST:
            return kErrorAlreadyExists;
        case EINVAL:
            return kErrorInvalidParameter;
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        case ENAMETOOLONG:
            return kErrorFilenameExcedRange;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case ECHILD:
        case ESRCH:
            return kErrorInvalidHandle;
        case ENOSYS:
        case EOPNOTSUPP:
            return kErrorNotSupported;
        default:
            return kErrorInvalidFunction;
    }
}

}  // namespace zub::platform
