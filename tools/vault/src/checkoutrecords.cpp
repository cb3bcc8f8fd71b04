#include "checkoutrecords.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

CheckoutRecords::CheckoutRecords(fs::path storeDir) : dir_(std::move(storeDir) / "checkouts") {}

void CheckoutRecords::Put(const Record& record) const {
    std::error_code ec;
    fs::create_directories(dir_, ec);
    const nlohmann::json j = {{"doc", record.docId},
                              {"user", record.userId},
                              {"file", record.file.string()},
                              {"since", record.since}};
    const fs::path target = dir_ / std::to_string(record.docId);
    const fs::path staged =
        dir_ / ("." + std::to_string(record.docId) + "." + std::to_string(::getpid()));
    {
        std::ofstream out(staged, std::ios::binary | std::ios::trunc);
        out << j.dump();
        if (!out.flush()) {
            fs::remove(staged, ec);
            return;
        }
    }
    fs::rename(staged, target, ec);
    if (ec) fs::remove(staged, ec);
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
    if (days > 0) return std::to_string(days) + "d " + std::to_string(hours) + "h";
    if (hours > 0) return std::to_string(hours) + "h " + std::to_string(minutes) + "m";
    if (minutes > 0) return std::to_string(minutes) + "m";
    return std::to_string(seconds) + "s";
}
