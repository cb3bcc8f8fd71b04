// Changes of users and roles after they were added: removal, renaming and
// membership. Each change and its audit entry are one transaction. A user
// whom documents name (as holder or creator) is deactivated instead of
// erased, so those documents keep naming a user the store knows.
#pragma once

#include <string>

#include "docvault/bo.h"

namespace DRM {

class UserAdmin : public BO {
public:
    // actorId: the acting user, for the audit trail. Each returns 0 or the
    // error number it records; a taken name is 49615.
    int RemoveUser(int userId, int actorId, bool& deactivated);
    int RenameUser(int userId, const std::wstring& name, int actorId);
    int RemoveRole(int roleId, int actorId);
    int RenameRole(int roleId, const std::wstring& name, int actorId);
    // Makes the user a member of the role, or not; already so is no error
    // and leaves no entry.
    int SetMember(int userId, int roleId, bool member, int actorId);
    // Whether the user may act: not deactivated.
    int IsActive(int userId, bool& active);

private:
    int Rename(const wchar_t* table, const wchar_t* nameColumn, const wchar_t* idColumn, int id,
               const std::wstring& name, int actorId, const wchar_t* action);
};

}  // namespace DRM
