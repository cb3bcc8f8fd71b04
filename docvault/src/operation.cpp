#include "internal/operation.h"

int OperationScope::NotConnected(BO& bo) {
    DRM::BOAccess::RaiseUnknownError(bo, DRM::Err::kNotConnected, DRM::Err::kNotConnectedText);
    return DRM::Err::kNotConnected;
}

int OperationScope::Caught(BO& bo, ZUBBASE::QV_Exception& e, const wchar_t* file,
                           const wchar_t* function, int line) {
    e.SetCatchLocation(file, function, line);
    DRM::BOAccess::SetErr(bo, -1, e.FullText(), e.CatchFile(), e.CatchFunction(),
                          static_cast<unsigned long>(e.CatchLine()));
    return -1;
}

int OperationScope::CaughtUnknown(BO& bo, const wchar_t* file, const wchar_t* function, int line) {
    // Nothing is known about what was thrown; the raise place is where it was caught.
    ZUBBASE::QV_Exception e(L"unknown exception", file, function, line);
    return Caught(bo, e, file, function, line);
}
