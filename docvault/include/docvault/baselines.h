// The baselines of one repository, in the database's order. Elements are
// DRM::BaseLine with an empty key, not connected.
#pragma once

#include "docvault/baseline.h"
#include "docvault/bos.h"

namespace DRM {

struct filterForBaseLine {
    int docRepoId = 0;
};

class BaseLines : public ZUBDB::BOs {
public:
    BaseLines() = default;
    // The copy owns copies of the elements.
    BaseLines(const BaseLines& other) : BOs(other) { CopyElementsFrom<BaseLine>(other); }
    BaseLines& operator=(const BaseLines& other) {
        if (this != &other) {
            BOs::operator=(other);
            CopyElementsFrom<BaseLine>(other);
        }
        return *this;
    }

    // Appends the repository's baselines.
    int GetAll(filterForBaseLine filter);

    BaseLine* GetBaseLine(long index) const { return static_cast<BaseLine*>(Item(index)); }
};

}  // namespace DRM
