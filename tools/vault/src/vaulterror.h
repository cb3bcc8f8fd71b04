// A failure the tool reports as "vault: error <number>: <text>" with exit
// status 1. Thrown by the command classes, caught once in main.
#pragma once

#include <stdexcept>
#include <string>

class BO;

class VaultError : public std::runtime_error {
public:
    VaultError(long number, std::wstring text);

    long number() const { return number_; }
    const std::wstring& text() const { return text_; }
    // The line printed on standard error (UTF-8, no newline).
    std::string Line() const;

    // Turns a library status into a VaultError carrying the number and text
    // the operation recorded on the object; does nothing for 0.
    static void Check(int status, const BO& bo);

private:
    long number_;
    std::wstring text_;
};
