// The envelope every persistence operation runs in: fault translator
// installed, 49600 without an accessor, any exception stamped with the catch
// place and recorded as -1. Record sets and parameter lists are scoped in the
// body, so they are released on every path.
#pragma once

#include <exception>
#include <source_location>
#include <string>
#include <utility>

#include "docvault/bo.h"
#include "docvault/errors.h"
#include "internal/boaccess.h"
#include "zub/qv_exception.h"
#include "zub/se_translator.h"

class OperationScope {
public:
    // Boundary: runs body() (returning the status) inside the envelope. The
    // qualified function name is given by hand (__func__ has no class); the
    // catch line is that of the call.
    template <class Body>
    static int Run(BO& bo, const wchar_t* catchFile, const wchar_t* function, Body&& body,
                   std::source_location where = std::source_location::current()) {
        ZUBBASE::InstallSeTranslator();
        if (!DRM::BOAccess::Accessor(bo)) return NotConnected(bo);
        return Guard(bo, catchFile, function, std::forward<Body>(body), where);
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
        ZUBBASE::InstallSeTranslator();
        const int line = static_cast<int>(where.line());
        try {
            return std::forward<Body>(body)();
        } catch (ZUBBASE::QV_Exception& e) {
            return Caught(bo, e, catchFile, function, line);
        } catch (const std::exception& e) {
            ZUBBASE::QV_Exception q(e, catchFile, function, line);
            return Caught(bo, q, catchFile, function, line);
        } catch (...) {
            return CaughtUnknown(bo, catchFile, function, line);
        }
    }

    static int NotConnected(BO& bo);
    // Stamps e and records it as -1: its full text as the description, the
    // catch file, function and line in the entry's further fields.
    static int Caught(BO& bo, ZUBBASE::QV_Exception& e, const wchar_t* file,
                      const wchar_t* function, int line);
    static int CaughtUnknown(BO& bo, const wchar_t* file, const wchar_t* function, int line);
};
