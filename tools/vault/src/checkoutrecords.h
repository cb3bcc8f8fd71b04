// What the tool knows of a check-out beyond the document's row: the local file
// it went to and since when it is held. Kept in the store's folder
// (checkouts/<document id>), one file per document, written by the vault that
// checked it out and removed by the one that ends the hold. A record whose
// holder is not the row's holder is stale and ignored.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

class CheckoutRecords {
public:
    struct Record {
        int docId = 0;
        int userId = 0;
        std::filesystem::path file;
        long long since = 0;  // seconds since the epoch
    };

    explicit CheckoutRecords(std::filesystem::path storeDir);

    // Written whole or not at all; failures are ignored (the record is a help).
    void Put(const Record& record) const;
    void Remove(int docId) const;
    // The record of the document when it names `holderId`.
    std::optional<Record> Get(int docId, int holderId) const;

    // "3d 4h", "2h 5m", "12m", "40s".
    static std::string Held(long long seconds);

private:
    std::filesystem::path dir_;
};
