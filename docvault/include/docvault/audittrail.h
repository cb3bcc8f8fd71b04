// The store's record of what was done: renames, moves, deletes and unlocks of
// documents, changes of users and roles, and changes of rights on
// repositories, each written in the transaction of the change it records. A
// delete's record keeps the document's last name, folder and version, so its
// saved versions stay reachable by the old id.
#pragma once

#include <string>
#include <vector>

#include "docvault/bo.h"

namespace DRM {

class Doc;

struct AuditEntry {
    int id = 0;
    double time = 0.0;  // OLE automation date
    int userId = 0;
    std::wstring userName;
    // Documents: "delete", "rename", "move", "unlock"; rights on a repository:
    // "rights grant", "rights revoke"; users and roles: "user remove",
    // "user deactivate", "user rename", "role remove", "role rename",
    // "role member add", "role member remove".
    std::wstring action;
    int docRepoId = 0;
    int docId = 0;
    // The document's folder, name, extension and version after the change
    // (before it, for a delete).
    std::wstring phyUrl;
    std::wstring name;
    std::wstring ext;
    std::wstring version;
    // rename: the old name; move: the old folder; unlock: the holder's name;
    // rights: the holder and its rights before and after
    // ("user alice: r-- -> rw-", "role viewers: r-- -> ---").
    std::wstring detail;
};

// Zero or empty matches every entry.
struct filterForAudit {
    int docRepoId = 0;
    int docId = 0;
    std::wstring userName;  // any case
    double since = 0.0;     // OLE automation date
};

class AuditTrail : public BO {
public:
    // Oldest first.
    int GetAll(const filterForAudit& filter, std::vector<AuditEntry>& entries);
    // The repository's documents that are deleted and not back, newest first.
    int GetDeleted(int docRepoId, std::vector<AuditEntry>& entries);
    // Fills `doc` (not connected) as the deleted document `docId` last was;
    // 49501 when no document of that id was deleted.
    int ReadDeleted(int docId, Doc& doc);
};

}  // namespace DRM
