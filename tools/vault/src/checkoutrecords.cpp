#include "checkoutrecords.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "store.h"
#include "vaulterror.h"
#include "zub/i18n.h"
#include "zub/text.h"
#include "zub/uniquefd.h"

namespace zub::vault {

namespace fs = std::filesystem;

CheckoutRecords::CheckoutRecords(fs::path dir, zub::StoreMode mode)
    : dir_(std::move(dir)), mode_(mode) {}

CheckoutRecords CheckoutRecords::Of(const Store& store) {
    // Made as everything else in the store, whatever the umask.
    if (!store.IsServer())
        return CheckoutRecords(store.Dir() / "checkouts", zub::StoreMode::Of(store.Dir()));
    fs::path place;
    try {
        place = UserPlace(zub::WideToUtf8(store.StoreId()));
    } catch (const VaultError&) {
        // Unreadable identity: the command itself reports the server's trouble.
    }
    return CheckoutRecords(place.empty() ? fs::path() : place / "checkouts",
                           zub::StoreMode::Private());
}

fs::path CheckoutRecords::UserPlace(const std::string& storeId) {
    if (storeId.empty() ||
        storeId.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstu"
                                  "vwxyz0123456789_-") != std::string::npos)
        return {};
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    // A relative XDG_STATE_HOME is invalid and ignored.
    if (state && *state == '/') return fs::path(state) / "vault" / storeId;
    if (home && *home != 0) return fs::path(home) / ".local" / "state" / "vault" / storeId;
    return {};
}

void CheckoutRecords::Put(const Record& record) const {
    if (dir_.empty()) return;
    const zub::StoreMode& mode = mode_;
    std::error_code ec;
    try {
        if (!fs::is_directory(dir_, ec)) mode.MakeFolders(dir_);
    } catch (const fs::filesystem_error&) {
        return;
    }
    const std::string text = nlohmann::json({{"doc", record.docId},
                                             {"user", record.userId},
                                             {"file", record.file.string()},
                                             {"since", record.since}})
                                 .dump();
    const fs::path target = dir_ / std::to_string(record.docId);
    const fs::path staged =
        dir_ / ("." + std::to_string(record.docId) + "." + std::to_string(::getpid()));
    bool written = false;
    {
        zub::UniqueFd fd(
            ::open(staged.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode.file()));
        if (fd.get() < 0) return;
        try {
            mode.SetFile(fd.get(), staged);
            written =
                ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
        } catch (const fs::filesystem_error&) {
            written = false;
        }
    }
    if (written) fs::rename(staged, target, ec);
    if (!written || ec) fs::remove(staged, ec);
}

void CheckoutRecords::Remove(int docId) const {
    if (dir_.empty()) return;
    std::error_code ec;
    fs::remove(dir_ / std::to_string(docId), ec);
}

std::optional<CheckoutRecords::Record> CheckoutRecords::Get(int docId, int holderId) const {
    if (dir_.empty()) return std::nullopt;
    std::ifstream in(dir_ / std::to_string(docId), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    const auto j = nlohmann::json::parse(text.str(), nullptr, false);
    if (!j.is_object() || j.value("doc", 0) != docId || j.value("user", 0) != holderId)
        return std::nullopt;
    Record r;
    r.docId = docId;
    r.userId = holderId;
    r.file = fs::path(j.value("file", std::string()));
    r.since = j.value("since", 0LL);
    return r;
}

std::string CheckoutRecords::Held(long long seconds) {
    if (seconds < 0) seconds = 0;
    const long long days = seconds / 86400;
    const long long hours = seconds / 3600 % 24;
    const long long minutes = seconds / 60 % 60;
    if (days > 0) return zub::trf("%lldd %lldh", days, hours);
    if (hours > 0) return zub::trf("%lldh %lldm", hours, minutes);
    if (minutes > 0) return zub::trf("%lldm", minutes);
    return zub::trf("%llds", seconds);
}

}  // namespace zub::vault
