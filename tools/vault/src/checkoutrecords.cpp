#include "checkoutrecords.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "zub/i18n.h"
#include "zub/storemode.h"
#include "zub/uniquefd.h"

namespace fs = std::filesystem;

CheckoutRecords::CheckoutRecords(fs::path storeDir) : dir_(std::move(storeDir) / "checkouts") {}

void CheckoutRecords::Put(const Record& record) const {
    // Made as everything else in the store, whatever the umask.
    const zub::StoreMode mode = zub::StoreMode::Of(dir_.parent_path());
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
    std::error_code ec;
    fs::remove(dir_ / std::to_string(docId), ec);
}

std::optional<CheckoutRecords::Record> CheckoutRecords::Get(int docId, int holderId) const {
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
