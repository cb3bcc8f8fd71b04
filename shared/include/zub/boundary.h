// The envelope of every boundary that exceptions must not cross. The body
// runs with the fault translator installed; whatever it throws becomes one
// QV_Exception stamped with the catch place, which the boundary records in
// its own way (a status number, an HRESULT, an installer's error record).
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "zub/i18n.h"
#include "zub/qv_exception.h"
#include "zub/se_translator.h"

namespace ZUBBASE {

// The text of a caught exception that is neither ours nor a standard one.
inline constexpr const wchar_t* kUnexpectedErrorText = ZUB_N_(L"Unexpected error.");

// Where a boundary catches: the source name of its class ("src/docrepo",
// "codoc"), the qualified function name ("DRM::DocRepo::Save"), either whole
// or, with owner set, as owner "::" function ("CCoDoc" and "put_Id"), and
// the line. Nothing is allocated unless something is caught.
struct CatchPlace {
    const wchar_t* file = L"";
    const wchar_t* function = L"";
    int line = 0;
    const wchar_t* owner = nullptr;

    std::wstring QualifiedFunction() const;
};

// error as a QV_Exception stamped with place: ours as it was raised, a
// standard exception with its what() text and anything else (or nothing)
// with unknownText, both of these raised at place.
QV_Exception CaughtAt(const std::exception_ptr& error, const CatchPlace& place,
                      const wchar_t* unknownText = kUnexpectedErrorText);

// Runs body(); on an exception returns record(QV_Exception&) instead. When
// even recording fails (memory exhausted), returns fallback unrecorded.
template <class Result, class Body, class Record>
Result Guard(const CatchPlace& place, Result fallback, Body&& body, Record&& record,
             const wchar_t* unknownText = kUnexpectedErrorText) noexcept {
    try {
        InstallSeTranslator();
        return std::forward<Body>(body)();
    } catch (...) {
        try {
            QV_Exception e = CaughtAt(std::current_exception(), place, unknownText);
            return std::forward<Record>(record)(e);
        } catch (...) {
            return fallback;
        }
    }
}

}  // namespace ZUBBASE
