// An owning collection of business objects with positional and key access.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
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
        for (int i = 0; i < other.Count(); ++i) {
            const T* element = dynamic_cast<const T*>(other.Item(i));
            if (!element) throw std::logic_error("collection holds an element of another class");
            Add(new T(*element));
        }
    }

private:
    void release();
    void Reindex();

    std::vector<std::unique_ptr<BO>> items_;
    std::map<std::wstring, long> index_;
    std::unordered_set<const BO*> held_;
};

}  // namespace ZUBDB
