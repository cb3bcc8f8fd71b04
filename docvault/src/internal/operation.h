// The envelope every persistence operation runs in: fault translator
// installed, 49600 without an accessor, any exception stamped with the catch
// place and recorded as -1. Record sets and parameter lists are scoped in the
// body, so they are released on every path.
#pragma once

#include <source_location>
#include <string>
#include <utility>

#include "docvault/bo.h"
#include "docvault/errors.h"
#include "internal/boaccess.h"
#include "zub/boundary.h"
#include "zub/i18n.h"

class OperationScope {
public:
    // Boundary: runs body() (returning the status) inside the envelope. The
    // qualified function name is given by hand (__func__ has no class); the
    // catch line is that of the call.
    template <class Body>
    static int Run(BO& bo, const wchar_t* catchFile, const wchar_t* function, Body&& body,
                   std::source_location where = std::source_location::current()) {
        return Guard(
            bo, catchFile, function,
            [&]() -> int {
                if (!DRM::BOAccess::Accessor(bo)) return NotConnected(bo);
                return std::forward<Body>(body)();
            },
            where);
    }

    // Same checks without a boundary: exceptions reach the caller.
    template <class Body>
    static int RunUnguarded(BO& bo, Body&& body) {
        ZUBBASE::InstallSeTranslator();
        if (!DRM::BOAccess::Accessor(bo)) return NotConnected(bo);
        return std::forward<Body>(body)();
    }

    // The boundary alone, for operations that need no accessor (Connect).
    template <class Body>
    static int Guard(BO& bo, const wchar_t* catchFile, const wchar_t* function, Body&& body,
                     std::source_location where = std::source_location::current()) {
        return ZUBBASE::Guard(
            ZUBBASE::CatchPlace{catchFile, function, static_cast<int>(where.line())}, -1,
            std::forward<Body>(body), [&bo](ZUBBASE::QV_Exception& e) { return Record(bo, e); },
            kUnknownText);
    }

    static int NotConnected(BO& bo);
    // Records a stamped exception as -1: its full text as the description,
    // the catch file, function and line in the entry's further fields.
    static int Record(BO& bo, const ZUBBASE::QV_Exception& e);

    static constexpr const wchar_t* kUnknownText = ZUB_N_(L"unknown exception");
};
