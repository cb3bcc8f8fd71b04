#include "vaulterror.h"

#include "docvault/bo.h"
#include "output.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

VaultError::VaultError(long number, std::string text, bool library)
    : std::runtime_error(text), number_(number), text_(std::move(text)), library_(library) {}

VaultError::VaultError(long number, std::string message)
    : VaultError(number, std::move(message), false) {}

VaultError VaultError::Library(long number, std::wstring text) {
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return VaultError(number, zub::WideToUtf8(text), true);
}

std::string VaultError::Message() const { return library_ ? zub::LibraryText(text_) : text_; }

std::string VaultError::Line() const {
    return zub::trf("vault: error %ld: %s", number_, Output::Visible(Message()).c_str());
}

nlohmann::ordered_json VaultError::ToJson() const {
    return {{"error", number_}, {"message", text_}, {"localized", Message()}};
}

void VaultError::Check(int status, const BO& bo) {
    if (status == 0) return;
    // The status is the number the operation recorded; an older error left on
    // the object must not be reported in its place.
    if (bo.ErrNumber() == status) throw Library(status, bo.ErrDesc());
    throw VaultError(status, zub::tr("the operation failed"));
}

}  // namespace zub::vault
