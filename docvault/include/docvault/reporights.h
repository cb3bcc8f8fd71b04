// Changes of one user's or one role's rights on one repository, each with its
// audit entry in one transaction: a refused or failed change leaves neither.
// The entry's detail names the holder and the rights before and after, as
// "user alice: r-- -> rw-".
#pragma once

#include "docvault/bo.h"

namespace DRM {

class RepoRights : public BO {
public:
    // Gives the user (role false) or the role `id` exactly these rights on the
    // repository, in place of the rows it had there; all three zero takes its
    // rights away. actorId needs the manage right on the repository, its own
    // or through a role (49616 otherwise). An unknown repository is 49609, an
    // unknown user 49604, an unknown role 49607. Rights already so are no
    // error, change nothing and leave no entry; `changed` says which it was.
    int Set(int docRepoId, bool role, int id, int read, int write, int manage, int actorId,
            bool& changed);
    int Revoke(int docRepoId, bool role, int id, int actorId, bool& changed) {
        return Set(docRepoId, role, id, 0, 0, 0, actorId, changed);
    }

    // The caller has established that the acting user administers the whole
    // store (a right the rights rows do not hold): the manage check is left
    // out; the entry still names the acting user.
    void set_administrator(bool administrator) { administrator_ = administrator; }

private:
    bool administrator_ = false;
};

}  // namespace DRM
