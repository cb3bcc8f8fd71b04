// The repositories of the database, all of them or those one user may see.
// Elements are DRM::DocRepo, keyed by name and not connected.
#pragma once

#include "docvault/bos.h"
#include "docvault/docrepo.h"

namespace ZUBDB {
class CDBRecordset;
}

namespace DRM {

class DocRepos : public ZUBDB::BOs {
public:
    DocRepos() = default;
    // The copy owns copies of the elements.
    DocRepos(const DocRepos& other) : BOs(other) { CopyElementsFrom<DocRepo>(other); }
    DocRepos& operator=(const DocRepos& other) {
        if (this != &other) {
            BOs::operator=(other);
            CopyElementsFrom<DocRepo>(other);
        }
        return *this;
    }

    // Appends every repository.
    int GetAll();
    // Appends the repositories on which a permission row names the user or one
    // of the user's roles.
    int GetAll(int userId);

    DocRepo* Repo(long index) const { return static_cast<DocRepo*>(Item(index)); }
    DocRepo* Repo(const std::wstring& key) const { return static_cast<DocRepo*>(Item(key)); }

private:
    int Fill(ZUBDB::CDBRecordset& rs);
};

}  // namespace DRM
