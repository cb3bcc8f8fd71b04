// The one exception type of the product. Its full text (message + "\n") is
// what an operation boundary records as error -1.
#pragma once

#include <exception>
#include <string>

namespace ZUBBASE {

class QV_Exception : public std::exception {
public:
    QV_Exception(std::wstring message, std::wstring raiseFile, std::wstring raiseFunction,
                 int raiseLine);
    // A standard exception's what() text, converted from the locale's narrow
    // encoding (empty when what() is null), raised at the given place.
    QV_Exception(const std::exception& e, std::wstring raiseFile, std::wstring raiseFunction,
                 int raiseLine);

    // std::exception's what() is kept unchanged.
    const wchar_t* message() const noexcept { return message_.c_str(); }
    const std::wstring& Message() const noexcept { return message_; }
    std::wstring FullText() const { return message_ + L"\n"; }

    const std::wstring& RaiseFile() const noexcept { return raiseFile_; }
    const std::wstring& RaiseFunction() const noexcept { return raiseFunction_; }
    int RaiseLine() const noexcept { return raiseLine_; }

    const std::wstring& CatchFile() const noexcept { return catchFile_; }
    const std::wstring& CatchFunction() const noexcept { return catchFunction_; }
    int CatchLine() const noexcept { return catchLine_; }
    // Stamped by the operation boundary that caught the exception.
    void SetCatchLocation(std::wstring file, std::wstring function, int line);

private:
    std::wstring message_;
    std::wstring raiseFile_;
    std::wstring raiseFunction_;
    int raiseLine_ = 0;
    std::wstring catchFile_;
    std::wstring catchFunction_;
    int catchLine_ = 0;
};

}  // namespace ZUBBASE
