// The users and roles of the product database (QV_User, the role table and
// QV_UserRole), read and written through the database component.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dbcore/cdbaccessor.h"
#include "vaulterror.h"

struct UserRecord {
    int id = 0;
    std::wstring name;
    std::vector<std::wstring> roles;
};

struct RoleRecord {
    int id = 0;
    std::wstring name;
    std::vector<std::wstring> members;
};

class UserDirectory {
public:
    explicit UserDirectory(std::unique_ptr<ZUBDB::CDBAccessor> db);

    std::optional<UserRecord> FindUser(const std::wstring& name);
    std::optional<UserRecord> FindUser(int id);
    std::optional<RoleRecord> FindRole(const std::wstring& name);
    std::optional<RoleRecord> FindRole(int id);
    std::vector<UserRecord> Users();
    std::vector<RoleRecord> Roles();
    // Each group of user names that differ only in case, as "A, a".
    std::vector<std::wstring> CaseDuplicates();

    // Each returns the new id; names must be new. The row and its
    // memberships are stored together or not at all.
    int AddUser(const std::wstring& name, const std::vector<int>& roleIds);
    int AddRole(const std::wstring& name, const std::vector<int>& userIds);

private:
    std::vector<UserRecord> SelectUsers(const std::wstring& column, const std::wstring& text,
                                        int id);
    std::vector<RoleRecord> SelectRoles(const std::wstring& column, const std::wstring& text,
                                        int id);
    // Membership pairs (user id, role id).
    std::vector<std::pair<int, int>> Memberships();
    void InsertMember(int userId, int roleId);
    [[noreturn]] void Fail();
    // The refusal of a new user whose name (in any case) is taken.
    static VaultError UserTaken(const UserRecord& user);
    // Rolls the open unit of work back, then throws its failure.
    [[noreturn]] void Abandon();

    std::unique_ptr<ZUBDB::CDBAccessor> db_;
};
