// The documents of one repository. Elements are DRM::Doc keyed by their
// decimal id, not connected.
#pragma once

#include "docvault/bos.h"
#include "docvault/doc.h"

namespace DRM {

class Docs : public ZUBDB::BOs {
public:
    Docs() = default;
    // The copy owns copies of the elements.
    Docs(const Docs& other) : BOs(other) { CopyElementsFrom<Doc>(other); }
    Docs& operator=(const Docs& other) {
        if (this != &other) {
            BOs::operator=(other);
            CopyElementsFrom<Doc>(other);
        }
        return *this;
    }

    // Appends the repository's documents sorted by phyUrl. Exceptions reach
    // the caller.
    int GetAll(filterForDoc filter);

    Doc* GetDoc(long index) const { return static_cast<Doc*>(Item(index)); }
    Doc* GetDoc(const std::wstring& key) const { return static_cast<Doc*>(Item(key)); }
};

}  // namespace DRM
