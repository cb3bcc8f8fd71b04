// An owning collection of business objects with positional and key access.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "docvault/bo.h"

namespace ZUBDB {

class BOs : public BO {
public:
    BOs() = default;
    // Copies deep-copy nothing they cannot own: see bos.cpp.
    BOs(const BOs& other) = delete;
    BOs& operator=(const BOs& other) = delete;
    ~BOs() override;

    // Takes ownership. A key already indexed keeps its earlier position.
    void Add(BO* obj);
    // Takes the element out (not deleted: the caller owns it now) and renumbers the index.
    void Remove(long index);
    void Remove(const std::wstring& key);
    BO* Item(long index) const;
    BO* Item(const std::wstring& key) const;
    int Count() const { return static_cast<int>(items_.size()); }
    // Deletes every element and empties the collection.
    void Clear();

private:
    void release();

    std::vector<BO*> items_;
    std::map<std::wstring, long> index_;
};

}  // namespace ZUBDB
