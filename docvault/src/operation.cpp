#include "internal/operation.h"

int OperationScope::NotConnected(BO& bo) {
    DRM::BOAccess::RaiseUnknownError(bo, DRM::Err::kNotConnected, DRM::Err::kNotConnectedText);
    return DRM::Err::kNotConnected;
}

int OperationScope::Record(BO& bo, const ZUBBASE::QV_Exception& e) {
    DRM::BOAccess::SetErr(bo, -1, e.FullText(), e.CatchFile(), e.CatchFunction(),
                          static_cast<unsigned long>(e.CatchLine()));
    return -1;
}
