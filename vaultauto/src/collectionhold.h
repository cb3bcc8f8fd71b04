// A library collection shared by its collection wrapper and the element
// wrappers it handed out. Elements that a borrower still points at are never
// destroyed while it does: whatever takes them out of the collection (Clear,
// Remove, a library call that empties the collection) retires them instead,
// and the last borrower's return destroys them.
#pragma once

#include <functional>
#include <memory>
#include <unordered_map>

#include "docvault/bos.h"

namespace zub::vaultauto {

class CollectionHold {
public:
    using Clone = std::function<std::unique_ptr<BO>(const BO&)>;

    CollectionHold(std::unique_ptr<ZUBDB::BOs> bos, Clone clone);
    CollectionHold(const CollectionHold&) = delete;
    CollectionHold& operator=(const CollectionHold&) = delete;
    ~CollectionHold();

    ZUBDB::BOs& Bos() { return *bos_; }

    void Borrow(BO* element);
    void Return(BO* element);
    bool IsBorrowed(const BO* element) const;

    // An element already taken out of the collection (or null): destroyed now,
    // or retired while borrowed.
    void Discard(BO* removed);
    // Runs a library call that may destroy elements (Clear, a save that
    // empties the collection). Borrowed elements stand aside for copies during
    // the call and come back where their copies still are afterwards. The
    // call may destroy elements but must not add any.
    int Shielded(const std::function<int()>& call);

    std::unique_ptr<BO> CloneOf(const BO& element) const { return clone_(element); }

private:
    void Refill(std::vector<std::unique_ptr<BO>>& elements);
    std::vector<std::unique_ptr<BO>> TakeAll();

    std::unique_ptr<ZUBDB::BOs> bos_;
    Clone clone_;
    std::unordered_map<const BO*, int> borrows_;
    std::unordered_map<const BO*, std::unique_ptr<BO>> retired_;
};

}  // namespace zub::vaultauto
