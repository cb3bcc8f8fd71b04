// Windows error numbers: every platform call returns one (0 is success) and
// also leaves it as the calling thread's last error, so callers written
// against GetLastError-style code keep working.
#pragma once

#include <cstdint>
#include <string>

namespace zub::platform {

using Error = std::uint32_t;

inline constexpr Error kErrorSuccess = 0;
inline constexpr Error kErrorInvalidFunction = 1;
inline constexpr Error kErrorFileNotFound = 2;
inline constexpr Error kErrorPathNotFound = 3;
inline constexpr Error kErrorAccessDenied = 5;
inline constexpr Error kErrorInvalidHandle = 6;
inline constexpr Error kErrorNotEnoughMemory = 8;
inline constexpr Error kErrorBadFormat = 11;
inline constexpr Error kErrorInvalidData = 13;
inline constexpr Error kErrorSharingViolation = 32;
inline constexpr Error kErrorNotSupported = 50;
inline constexpr Error kErrorFileExists = 80;
inline constexpr Error kErrorInvalidParameter = 87;
inline constexpr Error kErrorDiskFull = 112;
inline constexpr Error kErrorInsufficientBuffer = 122;
inline constexpr Error kErrorInvalidName = 123;
inline constexpr Error kErrorModNotFound = 126;
inline constexpr Error kErrorProcNotFound = 127;
inline constexpr Error kErrorDirNotEmpty = 145;
inline constexpr Error kErrorBadPathname = 161;
inline constexpr Error kErrorBusy = 170;
inline constexpr Error kErrorAlreadyExists = 183;
inline constexpr Error kErrorBadExeFormat = 193;
inline constexpr Error kErrorFilenameExcedRange = 206;
inline constexpr Error kErrorMoreData = 234;
inline constexpr Error kErrorWaitTimeout = 258;
inline constexpr Error kErrorNoMoreItems = 259;
inline constexpr Error kErrorDirectory = 267;
inline constexpr Error kErrorElevationRequired = 740;
inline constexpr Error kErrorBadKey = 1010;
inline constexpr Error kErrorCantWrite = 1013;
inline constexpr Error kErrorRegistryCorrupt = 1015;
inline constexpr Error kErrorRegistryIoFailed = 1016;
inline constexpr Error kErrorKeyDeleted = 1018;
inline constexpr Error kErrorServiceDoesNotExist = 1060;
inline constexpr Error kErrorNoAssociation = 1155;
inline constexpr Error kErrorCancelled = 1223;
inline constexpr Error kErrorNotAllAssigned = 1300;
inline constexpr Error kErrorPrivilegeNotHeld = 1314;
inline constexpr Error kErrorResourceDataNotFound = 1812;
inline constexpr Error kErrorResourceTypeNotFound = 1813;
inline constexpr Error kErrorResourceNameNotFound = 1814;

// The readable text of an error number as the system reports it, one line
// without the trailing line break (so it can stand inside a log line).
// Unknown numbers get "Unknown error N.".
std::wstring ErrorText(Error error);

// The calling thread's last error.
Error LastError();
void SetLastError(Error error);

// The Windows number for a POSIX errno value (kErrorInvalidFunction for
// values without a counterpart).
Error ErrorFromErrno(int errnoValue);

}  // namespace zub::platform
