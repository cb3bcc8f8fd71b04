#include "collectionhold.h"

#include <utility>
#include <vector>

namespace zub::vaultauto {

CollectionHold::CollectionHold(std::unique_ptr<ZUBDB::BOs> bos, Clone clone)
    : bos_(std::move(bos)), clone_(std::move(clone)) {}

CollectionHold::~CollectionHold() = default;

void CollectionHold::Borrow(BO* element) {
    if (element) ++borrows_[element];
}

void CollectionHold::Return(BO* element) {
    auto it = borrows_.find(element);
    if (it == borrows_.end()) return;
    if (--it->second > 0) return;
    borrows_.erase(it);
    retired_.erase(element);
}

bool CollectionHold::IsBorrowed(const BO* element) const { return borrows_.count(element) != 0; }

void CollectionHold::Discard(BO* removed) {
    if (!removed) return;
    std::unique_ptr<BO> owned(removed);
    if (IsBorrowed(removed)) retired_.emplace(removed, std::move(owned));
}

std::vector<std::unique_ptr<BO>> CollectionHold::TakeAll() {
    std::vector<std::unique_ptr<BO>> taken;
    taken.reserve(static_cast<std::size_t>(bos_->Count()));
    // From the back, so that no element moves while the rest are taken.
    while (bos_->Count() > 0) taken.emplace_back(bos_->Remove(bos_->Count() - 1));
    std::vector<std::unique_ptr<BO>> inOrder;
    inOrder.reserve(taken.size());
    for (auto it = taken.rbegin(); it != taken.rend(); ++it) inOrder.push_back(std::move(*it));
    return inOrder;
}

void CollectionHold::Refill(std::vector<std::unique_ptr<BO>>& elements) {
    for (auto& element : elements) bos_->Add(element.release());
}

int CollectionHold::Shielded(const std::function<int()>& call) {
    bool anyBorrowed = false;
    for (int i = 0; i < bos_->Count() && !anyBorrowed; ++i) anyBorrowed = IsBorrowed(bos_->Item(i));
    if (!anyBorrowed) return call();

    // copy -> the borrowed original it stands for
    std::unordered_map<const BO*, std::unique_ptr<BO>> standIns;
    std::vector<std::unique_ptr<BO>> elements = TakeAll();
    for (auto& element : elements) {
        if (!IsBorrowed(element.get())) continue;
        std::unique_ptr<BO> copy = clone_(*element);
        const BO* key = copy.get();
        standIns.emplace(key, std::move(element));
        element = std::move(copy);
    }
    Refill(elements);

    auto restore = [&] {
        bool copiesLeft = false;
        for (int i = 0; i < bos_->Count() && !copiesLeft; ++i)
            copiesLeft = standIns.count(bos_->Item(i)) != 0;
        if (copiesLeft) {
            std::vector<std::unique_ptr<BO>> now = TakeAll();
            for (auto& element : now) {
                auto it = standIns.find(element.get());
                if (it == standIns.end()) continue;
                element = std::move(it->second);  // the copy is destroyed here
                standIns.erase(it);
            }
            Refill(now);
        }
        // Originals whose copies the call destroyed live on for their borrowers.
        for (auto& entry : standIns) {
            const BO* key = entry.second.get();
            retired_.emplace(key, std::move(entry.second));
        }
        standIns.clear();
    };
    int status = 0;
    try {
        status = call();
    } catch (...) {
        restore();
        throw;
    }
    restore();
    return status;
}

}  // namespace zub::vaultauto
