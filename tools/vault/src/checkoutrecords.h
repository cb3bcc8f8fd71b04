// What the tool knows of a check-out beyond the document's row: the local file
// it went to and since when it is held. One file per document
// (checkouts/<document id>), written by the vault that checked it out and
// removed by the one that ends the hold. A record whose holder is not the
// row's holder is stale and ignored.
//
// An embedded store keeps them in its folder, shared by everyone who works on
// it, so that everyone sees how long each check-out is held. A store on a
// server has no folder of ours beside it: each user keeps them in
// $XDG_STATE_HOME/vault/<store identity>/ (else ~/.local/state/vault/...), so
// every store file naming that store finds them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "zub/storemode.h"

namespace zub::vault {

class Store;

class CheckoutRecords {
public:
    struct Record {
        int docId = 0;
        int userId = 0;
        std::filesystem::path file;
        long long since = 0;  // seconds since the epoch
    };

    // The records of the store; none are kept (Put does nothing) where the
    // place cannot be told.
    static CheckoutRecords Of(const Store& store);
    CheckoutRecords(std::filesystem::path dir, zub::StoreMode mode);

    // Where the records of the server store with this identity are kept; empty
    // without a state or home folder, or with an identity unfit for a name.
    static std::filesystem::path UserPlace(const std::string& storeId);

    // Written whole or not at all; failures are ignored (the record is a help).
    void Put(const Record& record) const;
    void Remove(int docId) const;
    // The record of the document when it names `holderId`.
    std::optional<Record> Get(int docId, int holderId) const;

    // "3d 4h", "2h 5m", "12m", "40s".
    static std::string Held(long long seconds);

private:
    std::filesystem::path dir_;
    zub::StoreMode mode_;
};

}  // namespace zub::vault
