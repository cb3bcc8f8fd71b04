// The permission rows of one repository, or one user's effective rights on
// every repository. Elements are DRM::DocRepoAuth keyed by repository id.
#pragma once

#include "docvault/bos.h"
#include "docvault/docrepoauth.h"

namespace DRM {

// Which repository's rows Select () reads.
struct filterForDocRepoAuth {
    int docRepoId = 0;
};

class DocRepoAuths : public ZUBDB::BOs {
public:
    DocRepoAuths() = default;
    explicit DocRepoAuths(const filterForDocRepoAuth& filter) : filter_(filter) {}
    // The copy owns copies of the elements.
    DocRepoAuths(const DocRepoAuths& other) : BOs(other), filter_(other.filter_) {
        CopyElementsFrom<DocRepoAuth>(other);
    }
    DocRepoAuths& operator=(const DocRepoAuths& other) {
        if (this != &other) {
            BOs::operator=(other);
            filter_ = other.filter_;
            CopyElementsFrom<DocRepoAuth>(other);
        }
        return *this;
    }

    void set_fdra(const filterForDocRepoAuth& filter) { filter_ = filter; }
    filterForDocRepoAuth fdr() const { return filter_; }

    // Appends the filter repository's rows with the user's or role's name;
    // 49608 when it has none.
    int Select();
    // Appends the user's effective rights, one element per repository.
    int Select(int userId);
    // Deletes the filter repository's rows, then empties the collection.
    int Delete();
    // Inserts every element as a new row in one unit of work (all or none),
    // then empties the collection.
    int Save();

    DocRepoAuth* Auth(long index) const { return static_cast<DocRepoAuth*>(Item(index)); }
    DocRepoAuth* Auth(const std::wstring& key) const {
        return static_cast<DocRepoAuth*>(Item(key));
    }

private:
    filterForDocRepoAuth filter_;
};

}  // namespace DRM
