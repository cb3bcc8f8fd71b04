#include "zub/boundary.h"

#include <exception>

namespace ZUBBASE {

std::wstring CatchPlace::QualifiedFunction() const {
    if (owner == nullptr) return function;
    return std::wstring(owner) + L"::" + function;
}

QV_Exception CaughtAt(const std::exception_ptr& error, const CatchPlace& place,
                      const wchar_t* unknownText) {
    const std::wstring function = place.QualifiedFunction();
    QV_Exception caught(unknownText, place.file, function, place.line);
    try {
        if (error) std::rethrow_exception(error);
    } catch (const QV_Exception& e) {
        caught = e;
    } catch (const std::exception& e) {
        caught = QV_Exception(e, place.file, function, place.line);
    } catch (...) {
        // nothing is known about it: raised, as far as we can tell, here
    }
    caught.SetCatchLocation(place.file, function, place.line);
    return caught;
}

}  // namespace ZUBBASE
