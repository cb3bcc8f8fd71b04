// An owning collection of business objects with positional and key access.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "docvault/bo.h"

namespace ZUBDB {

class BOs : public BO {
public:
    BOs() = default;
    ~BOs() override;

    // Takes ownership (null and an object already held are ignored). A key
    // already indexed keeps its earlier position.
    void Add(BO* obj);
    // Takes the element out and renumbers the index. The element is not
    // deleted: others may still refer to it. The caller may take ownership of
    // the returned pointer (null when nothing was removed).
    BO* Remove(long index);
    BO* Remove(const std::wstring& key);
    BO* Item(long index) const;
    BO* Item(const std::wstring& key) const;
    int Count() const { return static_cast<int>(items_.size()); }
    // Deletes every element and empties the collection.
    void Clear();

protected:
    // Copies of the BO part only: the typed collection copies its elements
    // with CopyElementsFrom, so that every copy owns objects of its own.
    BOs(const BOs& other) : BO(other) {}
    // Deletes the elements and takes over other's BO part.
    BOs& operator=(const BOs& other);
    template <class T>
    void CopyElementsFrom(const BOs& other) {
        items_.reserve(items_.size() + static_cast<std::size_t>(other.Count()));
        for (int i = 0; i < other.Count(); ++i) {
            const T* element = dynamic_cast<const T*>(other.Item(i));
            if (!element) throw std::logic_error("collection holds an element of another class");
            Append(std::make_unique<T>(*element));
        }
    }
    // Add for an object made by the caller just now, which no collection can
    // hold yet: a fill of many rows pays no look-up per element. The element
    // is indexed under the key it has at the first look-up by key.
    void Append(std::unique_ptr<BO> fresh);
    void Reserve(std::size_t count) { items_.reserve(count); }

private:
    void release();
    // Brings the key index and the held set up to the last element. They are
    // built at the first look-up that needs them, not while a fill adds
    // elements that may never be looked up by key.
    void CatchUp() const;
    void ForgetIndex();

    std::vector<std::unique_ptr<BO>> items_;
    mutable std::unordered_map<std::wstring, long> index_;
    mutable std::unordered_set<const BO*> held_;
    // items_[0, indexed_) are in index_ and held_.
    mutable std::size_t indexed_ = 0;
};

}  // namespace ZUBDB
