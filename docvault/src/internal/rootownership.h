// Whether a file-server root belongs to the store a business object is
// connected to. A root claimed by another store (its owner file names
// another store identity, or this identity at another place: a copy of the
// store reaching the original's root by its absolute name) is refused, so a
// copy can never write into the original's files.
#pragma once

#include <optional>
#include <string>

class BO;

namespace DRM {

class RootOwnership {
public:
    struct Refusal {
        long number = 0;
        std::wstring text;
    };

    // Nothing when bo's store may use the root of `server` (already resolved
    // against the store): the root names no owner, or names this store. A
    // failure to read the owner is left to the operation that follows.
    static std::optional<Refusal> Check(BO& bo, const std::wstring& server, unsigned short port);

    // The identity kept in the store's QVSystem ("" for a store made before
    // identities, or when it cannot be read).
    static std::wstring StoreId(BO& bo);

    // Forget the identities read so far (tests that remake a store).
    static void Forget();
};

}  // namespace DRM
