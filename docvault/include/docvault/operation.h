// The envelope every persistence operation runs in: fault translator
// installed, 49600 without an accessor, any exception stamped with the catch
// place and recorded as -1. Record sets and parameter lists are scoped in the
// body, so they are released on every path.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "docvault/bo.h"
#include "docvault/errors.h"
#include "zub/qv_exception.h"
#include "zub/se_translator.h"

class OperationScope {
public:
    // Boundary: runs body() (returning the status) inside the envelope.
    template <class Body>
    static int Run(BO& bo, const wchar_t* catchFile, const wchar_t* function, int line,
                   Body&& body) {
        ZUBBASE::InstallSeTranslator();
        if (!bo.Accessor()) return NotConnected(bo);
        return Guard(bo, catchFile, function, line, std::forward<Body>(body));
    }

    // Same checks without a boundary: exceptions reach the caller.
    template <class Body>
    static int RunUnguarded(BO& bo, Body&& body) {
        ZUBBASE::InstallSeTranslator();
        if (!bo.Accessor()) return NotConnected(bo);
        return std::forward<Body>(body)();
    }

    // The boundary alone, for operations that need no accessor (Connect).
    template <class Body>
    static int Guard(BO& bo, const wchar_t* catchFile, const wchar_t* function, int line,
                     Body&& body) {
        ZUBBASE::InstallSeTranslator();
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
    static int Caught(BO& bo, ZUBBASE::QV_Exception& e, const wchar_t* file,
                      const wchar_t* function, int line);
    static int CaughtUnknown(BO& bo, const wchar_t* file, const wchar_t* function, int line);
};

// The qualified function name must be given: __func__ has no class.
#define ZUB_OPERATION(bo, file, function, body) \
    OperationScope::Run((bo), (file), (function), __LINE__, (body))
