// The users and roles of a store (QV_User, QV_Role and the memberships in
// QV_UserRole). A user name is unique without regard to case, and the
// database's unique index decides it: of two processes adding one name at
// once, one adds the user and the other is refused.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "docvault/bo.h"

namespace DRM {

struct UserRecord {
    int id = 0;
    std::wstring name;
    std::vector<std::wstring> roles;  // the names of the user's roles, by role id
};

struct RoleRecord {
    int id = 0;
    std::wstring name;
    std::vector<std::wstring> members;  // the names of the role's users, by user id
};

// Each operation returns 0 or the error number it records on the object.
class UserDirectory : public BO {
public:
    // The user named so in any case (the first made when an older store
    // holds several spellings); empty when there is none.
    int FindUser(const std::wstring& name, std::optional<UserRecord>& user);
    int FindUser(int id, std::optional<UserRecord>& user);
    int FindRole(const std::wstring& name, std::optional<RoleRecord>& role);
    int FindRole(int id, std::optional<RoleRecord>& role);
    // Every user (every role) by id, with their roles (members).
    int Users(std::vector<UserRecord>& users);
    int Roles(std::vector<RoleRecord>& roles);
    // Each group of user names that differ only in case, as "A, a": stores
    // made before names were unique may hold them.
    int CaseDuplicates(std::vector<std::wstring>& groups);

    // Adds the user (role) with its memberships, all or nothing, and gives
    // its id. A name that is taken (a user's in any case) is refused with
    // 49615; the text names the one that holds it.
    int AddUser(const std::wstring& name, const std::vector<int>& roleIds, int& id);
    int AddRole(const std::wstring& name, const std::vector<int>& userIds, int& id);

private:
    class Tables;
};

}  // namespace DRM
