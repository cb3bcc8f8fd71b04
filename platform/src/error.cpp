#include "zub/platform/error.h"

#include <cerrno>
#include <string>

#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::platform {

namespace {

thread_local Error tLastError = kErrorSuccess;

struct ErrorEntry {
    Error number;
    const wchar_t* text;
};

// The system's English texts; programs show them translated.
constexpr ErrorEntry kTexts[] = {
    {0, ZUB_N_(L"The operation completed successfully.")},
    {1, ZUB_N_(L"Incorrect function.")},
    {2, ZUB_N_(L"The system cannot find the file specified.")},
    {3, ZUB_N_(L"The system cannot find the path specified.")},
    {5, ZUB_N_(L"Access is denied.")},
    {6, ZUB_N_(L"The handle is invalid.")},
    {8, ZUB_N_(L"Not enough memory resources are available to process this command.")},
    {11, ZUB_N_(L"An attempt was made to load a program with an incorrect format.")},
    {13, ZUB_N_(L"The data is invalid.")},
    {32,
     ZUB_N_(L"The process cannot access the file because it is being used by another process.")},
    {50, ZUB_N_(L"The request is not supported.")},
    {80, ZUB_N_(L"The file exists.")},
    {87, ZUB_N_(L"The parameter is incorrect.")},
    {112, ZUB_N_(L"There is not enough space on the disk.")},
    {122, ZUB_N_(L"The data area passed to a system call is too small.")},
    {123, ZUB_N_(L"The filename, directory name, or volume label syntax is incorrect.")},
    {126, ZUB_N_(L"The specified module could not be found.")},
    {127, ZUB_N_(L"The specified procedure could not be found.")},
    {145, ZUB_N_(L"The directory is not empty.")},
    {161, ZUB_N_(L"The specified path is invalid.")},
    {170, ZUB_N_(L"The requested resource is in use.")},
    {183, ZUB_N_(L"Cannot create a file when that file already exists.")},
    {193, ZUB_N_(L"%1 is not a valid Win32 application.")},
    {203, ZUB_N_(L"The system could not find the environment option that was entered.")},
    {206, ZUB_N_(L"The filename or extension is too long.")},
    {234, ZUB_N_(L"More data is available.")},
    {258, ZUB_N_(L"The wait operation timed out.")},
    {259, ZUB_N_(L"No more data is available.")},
    {267, ZUB_N_(L"The directory name is invalid.")},
    {740, ZUB_N_(L"The requested operation requires elevation.")},
    {1010, ZUB_N_(L"The configuration registry key is invalid.")},
    {1013, ZUB_N_(L"The configuration registry key could not be written.")},
    {1015, ZUB_N_(L"The registry is corrupted.")},
    {1016, ZUB_N_(L"An I/O operation initiated by the registry failed unrecoverably.")},
    {1018,
     ZUB_N_(L"Illegal operation attempted on a registry key that has been marked for deletion.")},
    {1060, ZUB_N_(L"The specified service does not exist as an installed service.")},
    {1155, ZUB_N_(L"No application is associated with the specified file for this operation.")},
    {1223, ZUB_N_(L"The operation was canceled by the user.")},
    {1300, ZUB_N_(L"Not all privileges or groups referenced are assigned to the caller.")},
    {1314, ZUB_N_(L"A required privilege is not held by the client.")},
    {1812, ZUB_N_(L"The specified image file did not contain a resource section.")},
    {1813, ZUB_N_(L"The specified resource type cannot be found in the image file.")},
    {1814, ZUB_N_(L"The specified resource name cannot be found in the image file.")},
};

}  // namespace

std::wstring ErrorText(Error error) {
    for (const auto& entry : kTexts) {
        if (entry.number == error) return entry.text;
    }
    return zub::FormatBounded(64, ZUB_N_(L"Unknown error %lu."), static_cast<unsigned long>(error));
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
