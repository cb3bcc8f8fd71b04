#include "userdirectory.h"

#include <algorithm>
#include <map>

#include "dbcore/qvparams.h"
#include "vaulterror.h"
#include "vaulterrors.h"

namespace {

const std::wstring kEq = L"=";

}  // namespace

UserDirectory::UserDirectory(std::unique_ptr<ZUBDB::CDBAccessor> db) : db_(std::move(db)) {}

void UserDirectory::Fail() {
    std::wstring text = db_->errDescription();
    if (text.empty()) text = L"the user tables could not be read or written";
    throw VaultError(db_->errNumber() != 0 ? db_->errNumber() : -1, text);
}

std::vector<std::pair<int, int>> UserDirectory::Memberships() {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    ZUBDB::QVParams none;
    if (db_->SelectRows(rs, L"QV_UserRole", L"UserId,RoleId", none, L"UserId,RoleId", L"", L"", 0,
                        0) != 0)
        Fail();
    std::vector<std::pair<int, int>> pairs;
    for (; rs && !rs->IsEOF(); rs->MoveNext())
        pairs.emplace_back(static_cast<int>(rs->GetIntAt(0)), static_cast<int>(rs->GetIntAt(1)));
    return pairs;
}

std::vector<UserRecord> UserDirectory::SelectUsers(const std::wstring& column,
                                                   const std::wstring& text, int id) {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    ZUBDB::QVParams where;
    if (column == L"UserName") {
        // Names differing only in case are one user (the unique index agrees).
        where.AddParam(0, column, text, false, false, kEq);
        if (db_->ExecuteSql(rs,
                            L"select UserId,UserName from QV_User where UserName = ? collate "
                            L"nocase order by UserId",
                            where, L"", 0, 0) != 0)
            Fail();
    } else {
        if (column == L"UserId") where.AddParam(0, column, static_cast<long long>(id), false, kEq);
        if (db_->SelectRows(rs, L"QV_User", L"UserId,UserName", where, L"UserId", L"", L"", 0, 0) !=
            0)
            Fail();
    }
    std::vector<UserRecord> users;
    for (; rs && !rs->IsEOF(); rs->MoveNext())
        users.push_back({static_cast<int>(rs->GetIntAt(0)), rs->GetStringAt(1), {}});
    if (users.empty()) return users;
    std::map<int, std::wstring> roleNames;
    for (const auto& role : SelectRoles(L"", L"", 0)) roleNames[role.id] = role.name;
    for (const auto& [userId, roleId] : Memberships())
        for (auto& user : users)
            if (user.id == userId && roleNames.count(roleId))
                user.roles.push_back(roleNames[roleId]);
    return users;
}

std::vector<RoleRecord> UserDirectory::SelectRoles(const std::wstring& column,
                                                   const std::wstring& text, int id) {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    ZUBDB::QVParams where;
    if (column == L"RoleName") where.AddParam(0, column, text, false, false, kEq);
    if (column == L"RoleId") where.AddParam(0, column, static_cast<long long>(id), false, kEq);
    if (db_->SelectRows(rs, L"QV_Role", L"RoleId,RoleName", where, L"RoleId", L"", L"", 0, 0) != 0)
        Fail();
    std::vector<RoleRecord> roles;
    for (; rs && !rs->IsEOF(); rs->MoveNext())
        roles.push_back({static_cast<int>(rs->GetIntAt(0)), rs->GetStringAt(1), {}});
    return roles;
}

std::optional<UserRecord> UserDirectory::FindUser(const std::wstring& name) {
    auto users = SelectUsers(L"UserName", name, 0);
    if (users.empty()) return std::nullopt;
    return users.front();
}

std::optional<UserRecord> UserDirectory::FindUser(int id) {
    auto users = SelectUsers(L"UserId", L"", id);
    if (users.empty()) return std::nullopt;
    return users.front();
}

std::optional<RoleRecord> UserDirectory::FindRole(const std::wstring& name) {
    auto roles = SelectRoles(L"RoleName", name, 0);
    if (roles.empty()) return std::nullopt;
    return roles.front();
}

std::optional<RoleRecord> UserDirectory::FindRole(int id) {
    auto roles = SelectRoles(L"RoleId", L"", id);
    if (roles.empty()) return std::nullopt;
    return roles.front();
}

std::vector<UserRecord> UserDirectory::Users() { return SelectUsers(L"", L"", 0); }

std::vector<std::wstring> UserDirectory::CaseDuplicates() {
    std::unique_ptr<ZUBDB::CDBRecordset> rs;
    if (db_->ExecuteSql(rs,
                        L"select group_concat(UserName, ', ') from (select UserName from QV_User "
                        L"order by UserId) group by UserName collate nocase having count(*) > 1",
                        ZUBDB::QVParams(false), L"", 0, 0) != 0)
        Fail();
    std::vector<std::wstring> groups;
    for (; rs && !rs->IsEOF(); rs->MoveNext()) groups.push_back(rs->GetStringAt(0));
    return groups;
}

std::vector<RoleRecord> UserDirectory::Roles() {
    auto roles = SelectRoles(L"", L"", 0);
    std::map<int, std::wstring> userNames;
    for (const auto& user : SelectUsers(L"", L"", 0)) userNames[user.id] = user.name;
    for (const auto& [userId, roleId] : Memberships())
        for (auto& role : roles)
            if (role.id == roleId && userNames.count(userId))
                role.members.push_back(userNames[userId]);
    return roles;
}

int UserDirectory::AddUser(const std::wstring& name, const std::vector<int>& roleIds) {
    if (auto user = FindUser(name)) throw UserTaken(*user);
    ZUBDB::QVParams values;
    values.AddParam(0, L"UserName", name, false, false, kEq);
    if (db_->InsertRow(L"QV_User", values, L"", L"") != 0) {
        // Another vault added it since the check; the unique index refused ours.
        const long number = db_->errNumber();
        std::wstring text = db_->errDescription();
        db_->RollbackTrans();
        if (auto user = FindUser(name)) throw UserTaken(*user);
        throw VaultError(number != 0 ? number : -1, text);
    }
    const auto id = static_cast<int>(db_->LastInsertId());
    for (int roleId : roleIds) InsertMember(id, roleId);
    if (db_->CommitTrans() != 0) Abandon();
    return id;
}

int UserDirectory::AddRole(const std::wstring& name, const std::vector<int>& userIds) {
    if (FindRole(name))
        throw VaultError(VaultErr::kNameTaken, L"a role named " + name + L" exists already");
    ZUBDB::QVParams values;
    values.AddParam(0, L"RoleName", name, false, false, kEq);
    if (db_->InsertRow(L"QV_Role", values, L"", L"") != 0) {
        if (FindRole(name))
            throw VaultError(VaultErr::kNameTaken, L"a role named " + name + L" exists already");
        Fail();
    }
    const auto id = static_cast<int>(db_->LastInsertId());
    for (int userId : userIds) InsertMember(userId, id);
    if (db_->CommitTrans() != 0) Abandon();
    return id;
}

VaultError UserDirectory::UserTaken(const UserRecord& user) {
    return VaultError(VaultErr::kNameTaken, L"a user named " + user.name + L" exists already");
}

void UserDirectory::InsertMember(int userId, int roleId) {
    ZUBDB::QVParams values;
    values.AddParam(0, L"UserId", static_cast<long long>(userId), false, kEq);
    values.AddParam(1, L"RoleId", static_cast<long long>(roleId), false, kEq);
    if (db_->InsertRow(L"QV_UserRole", values, L"", L"") != 0) Abandon();
}

void UserDirectory::Abandon() {
    const long number = db_->errNumber();
    std::wstring text = db_->errDescription();
    // The new user or role goes with its memberships, or not at all.
    db_->RollbackTrans();
    throw VaultError(number != 0 ? number : -1, text);
}
