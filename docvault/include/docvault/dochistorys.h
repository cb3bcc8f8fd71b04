// The history of one document, newest revision first. Elements are
// DRM::DocHistory with an empty key, not connected.
#pragma once

#include "docvault/bos.h"
#include "docvault/dochistory.h"

namespace DRM {

struct filterForDocHistory {
    int docId = 0;
    int baseLineId = 0;  // carried for the caller; the listing ignores it
};

class DocHistorys : public ZUBDB::BOs {
public:
    DocHistorys() = default;
    // The copy owns copies of the elements.
    DocHistorys(const DocHistorys& other) : BOs(other) { CopyElementsFrom<DocHistory>(other); }
    DocHistorys& operator=(const DocHistorys& other) {
        if (this != &other) {
            BOs::operator=(other);
            CopyElementsFrom<DocHistory>(other);
        }
        return *this;
    }

    // Appends the document's rows; 49608 when it has none.
    int GetAll(filterForDocHistory filter);

    DocHistory* History(long index) const { return static_cast<DocHistory*>(Item(index)); }
};

}  // namespace DRM
