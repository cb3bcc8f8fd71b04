// A failure the tool reports as "vault: error <number>: <text>" with exit
// status 1. Thrown by the command classes, caught once in main.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

class BO;

namespace zub::vault {

class VaultError : public std::runtime_error {
public:
    // The tool's own refusal, already in the user's language (zub::trf).
    VaultError(long number, std::string message);
    // A text the library, a database or a file server reported: kept as it
    // is, translated only where it is shown.
    static VaultError Library(long number, std::wstring text);

    long number() const { return number_; }
    // The text as reported (the library's own, or the tool's message).
    const std::string& Text() const { return text_; }
    // The text in the user's language.
    std::string Message() const;
    // The line printed on standard error (UTF-8, no newline).
    std::string Line() const;
    // {"error": number, "message": the text as reported, "localized": Message()}.
    nlohmann::ordered_json ToJson() const;

    // Turns a library status into a VaultError carrying the number and text
    // the operation recorded on the object; does nothing for 0.
    static void Check(int status, const BO& bo);

private:
    VaultError(long number, std::string text, bool library);

    long number_;
    std::string text_;
    bool library_;
};

}  // namespace zub::vault
