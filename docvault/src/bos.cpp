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
    if (!obj || held_.count(obj)) return;
    std::unique_ptr<BO> owned(obj);
    held_.insert(obj);
    items_.push_back(std::move(owned));
    index_.emplace(obj->GetKey(), static_cast<long>(items_.size() - 1));
}

BO* BOs::Remove(long index) {
    if (index < 0 || index >= Count()) return nullptr;
    BO* taken = items_[static_cast<std::size_t>(index)].release();
    items_.erase(items_.begin() + index);
    held_.erase(taken);
    // Rebuilt rather than patched: with duplicate keys, the key of the removed
    // element may belong to (or now fall to) another element.
    Reindex();
    return taken;
}

BO* BOs::Remove(const std::wstring& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    return Remove(it->second);
}

BO* BOs::Item(long index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<std::size_t>(index)].get();
}

BO* BOs::Item(const std::wstring& key) const {
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    return Item(it->second);
}

void BOs::Clear() {
    release();
    items_.clear();
    index_.clear();
    held_.clear();
}

void BOs::release() {
    for (auto& item : items_) item.reset();
}

void BOs::Reindex() {
    index_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]) index_.emplace(items_[i]->GetKey(), static_cast<long>(i));
    }
}

}  // namespace ZUBDB
