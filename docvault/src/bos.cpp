#include "docvault/bos.h"

#include <utility>

namespace ZUBDB {

BOs::~BOs() { release(); }

BOs& BOs::operator=(const BOs& other) {
    if (this == &other) return *this;
    BO::operator=(other);
    Clear();
    return *this;
}

void BOs::Add(BO* obj) {
    // Holding one object twice would delete it twice.
    if (!obj) return;
    CatchUp();
    if (held_.count(obj)) return;
    items_.emplace_back(obj);
    CatchUp();
}

void BOs::Append(std::unique_ptr<BO> fresh) {
    if (fresh) items_.push_back(std::move(fresh));
}

void BOs::CatchUp() const {
    if (indexed_ == items_.size()) return;
    if (indexed_ == 0) {
        index_.reserve(items_.size());
        held_.reserve(items_.size());
    }
    for (; indexed_ < items_.size(); ++indexed_) {
        const BO* item = items_[indexed_].get();
        if (!item) continue;
        held_.insert(item);
        // emplace keeps the earlier position of a repeated key.
        index_.emplace(item->GetKey(), static_cast<long>(indexed_));
    }
}

void BOs::ForgetIndex() {
    index_.clear();
    held_.clear();
    indexed_ = 0;
}

BO* BOs::Remove(long index) {
    if (index < 0 || index >= Count()) return nullptr;
    BO* taken = items_[static_cast<std::size_t>(index)].release();
    items_.erase(items_.begin() + index);
    // Rebuilt rather than patched: with duplicate keys, the key of the removed
    // element may belong to (or now fall to) another element.
    ForgetIndex();
    return taken;
}

BO* BOs::Remove(const std::wstring& key) {
    CatchUp();
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    return Remove(it->second);
}

BO* BOs::Item(long index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

BO* BOs::Item(const std::wstring& key) const {
    CatchUp();
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    return Item(it->second);
}

void BOs::Clear() {
    release();
    items_.clear();
    ForgetIndex();
}

void BOs::release() {
    for (auto& item : items_) item.reset();
}

}  // namespace ZUBDB
