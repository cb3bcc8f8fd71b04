#include "vaulterror.h"

#include "docvault/bo.h"
#include "output.h"
#include "zub/text.h"

VaultError::VaultError(long number, std::wstring text)
    : std::runtime_error(zub::WideToUtf8(text)), number_(number), text_(std::move(text)) {}

std::string VaultError::Line() const {
    return "vault: error " + std::to_string(number_) + ": " +
           Output::Visible(zub::WideToUtf8(text_));
}

void VaultError::Check(int status, const BO& bo) {
    if (status == 0) return;
    // The status is the number the operation recorded; an older error left on
    // the object must not be reported in its place.
    std::wstring text = bo.ErrNumber() == status ? bo.ErrDesc() : L"operation failed";
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    throw VaultError(status, text);
}
