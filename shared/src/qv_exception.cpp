#include "zub/qv_exception.h"

#include <utility>

#include "zub/text.h"

namespace ZUBBASE {

QV_Exception::QV_Exception(std::wstring message, std::wstring raiseFile, std::wstring raiseFunction,
                           int raiseLine)
    : message_(std::move(message)),
      raiseFile_(std::move(raiseFile)),
      raiseFunction_(std::move(raiseFunction)),
      raiseLine_(raiseLine) {}

QV_Exception::QV_Exception(const std::exception& e, std::wstring raiseFile,
                           std::wstring raiseFunction, int raiseLine)
    : QV_Exception(e.what() != nullptr ? zub::NarrowToWide(e.what()) : std::wstring(),
                   std::move(raiseFile), std::move(raiseFunction), raiseLine) {}

void QV_Exception::SetCatchLocation(std::wstring file, std::wstring function, int line) {
    catchFile_ = std::move(file);
    catchFunction_ = std::move(function);
    catchLine_ = line;
}

}  // namespace ZUBBASE
