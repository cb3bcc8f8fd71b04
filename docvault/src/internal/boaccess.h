// The door through which the library's own helpers that are not business
// objects themselves (the operation envelope, a repository's location and
// file server) reach a business object's connection and error state. It is
// not installed, so users of the library keep BO's protected surface.
#pragma once

#include <string>

#include "docvault/bo.h"

namespace DRM {

class BOAccess {
public:
    static ZUBDB::CDBAccessor* Accessor(const BO& bo) { return bo.Accessor(); }
    static const std::wstring& Server(const BO& bo) { return bo.Server(); }
    static long Port(const BO& bo) { return bo.Port(); }
    static const std::wstring& Token(const BO& bo) { return bo.Token(); }

    static void SetErr(BO& bo, long number, const std::wstring& desc, const std::wstring& s2,
                       const std::wstring& s3, unsigned long n) {
        bo.SetErr(number, desc, s2, s3, n);
    }
    static void RaiseUnknownError(BO& bo, int number, const std::wstring& desc) {
        bo.RaiseUnknownError(number, desc);
    }
    static int RecordDbError(BO& bo) { return bo.RecordDbError(); }
    static int RollBackAndRecord(BO& bo) { return bo.RollBackAndRecord(); }
    static int RecordNfsError(BO& bo) { return bo.RecordNfsError(); }
};

}  // namespace DRM
