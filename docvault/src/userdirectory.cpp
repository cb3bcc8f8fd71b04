#include "docvault/userdirectory.h"

#include <map>
#include <memory>
#include <utility>

#include "docvault/errors.h"
#include "internal/operation.h"
#include "internal/pendingunit.h"
#include "internal/rowparams.h"
#include "zub/text.h"

namespace DRM {

namespace {

constexpr const wchar_t* kFile = L"src/userdirectory";

}  // namespace

// The reads and writes of the three tables; each returns 0 or the recorded
// error number.
class UserDirectory::Tables {
public:
    explicit Tables(UserDirectory& bo) : bo_(bo), db_(*bo.Accessor()) {}

    // The users whose name equals `name` in any case (name given), with id
    // `id` (id > 0), or all; each with its roles.
    int Users(const std::wstring* name, int id, std::vector<UserRecord>& users) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ZUBDB::QVParams where(false);
        int rc = 0;
        if (name != nullptr) {
            AddText(where, L"UserName", *name);
            rc = db_.ExecuteSql(rs,
                                L"select UserId,UserName from QV_User where UserName = ? collate "
                                L"nocase order by UserId",
                                where, kNone, 0, 0);
        } else {
            if (id > 0) AddInt(where, L"UserId", id);
            rc = db_.SelectRows(rs, L"QV_User", L"UserId,UserName", where, L"UserId", kNone, kNone,
                                0, 0);
        }
        if (rc != 0) return bo_.RecordDbError();
        for (; HasRow(rs); rs->MoveNext())
            users.push_back({static_cast<int>(rs->GetIntAt(0)), rs->GetStringAt(1), {}});
        if (users.empty()) return 0;
        std::vector<RoleRecord> roles;
        std::vector<std::pair<int, int>> pairs;
        if ((rc = Roles(nullptr, 0, roles)) != 0 || (rc = Memberships(pairs)) != 0) return rc;
        std::map<int, std::wstring> roleNames;
        for (const auto& role : roles) roleNames[role.id] = role.name;
        for (const auto& [userId, roleId] : pairs)
            for (auto& user : users)
                if (user.id == userId && roleNames.count(roleId))
                    user.roles.push_back(roleNames[roleId]);
        return 0;
    }

    // The roles named `name` (given), with id `id` (id > 0), or all; without
    // their members.
    int Roles(const std::wstring* name, int id, std::vector<RoleRecord>& roles) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        ZUBDB::QVParams where(false);
        if (name != nullptr) AddText(where, L"RoleName", *name);
        if (id > 0) AddInt(where, L"RoleId", id);
        if (db_.SelectRows(rs, L"QV_Role", L"RoleId,RoleName", where, L"RoleId", kNone, kNone, 0,
                           0) != 0)
            return bo_.RecordDbError();
        for (; HasRow(rs); rs->MoveNext())
            roles.push_back({static_cast<int>(rs->GetIntAt(0)), rs->GetStringAt(1), {}});
        return 0;
    }

    // Membership pairs (user id, role id).
    int Memberships(std::vector<std::pair<int, int>>& pairs) {
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (db_.SelectRows(rs, L"QV_UserRole", L"UserId,RoleId", ZUBDB::QVParams(false),
                           L"UserId,RoleId", kNone, kNone, 0, 0) != 0)
            return bo_.RecordDbError();
        for (; HasRow(rs); rs->MoveNext())
            pairs.emplace_back(static_cast<int>(rs->GetIntAt(0)),
                               static_cast<int>(rs->GetIntAt(1)));
        return 0;
    }

    // Inserts the row of `table` named `name` with its memberships and
    // commits; a refusal of the insert is left to the caller (`refused`).
    int Insert(const wchar_t* table, const wchar_t* column, const std::wstring& name,
               const std::vector<std::pair<int, int>>& members, bool userFirst, int& id,
               bool& refused) {
        PendingUnit unit(&db_);
        refused = false;
        ZUBDB::QVParams values(false);
        AddText(values, column, name);
        if (db_.InsertRow(table, values, kNone, kNone) != 0) {
            refused = true;
            return bo_.RollBackAndRecord();
        }
        id = static_cast<int>(db_.LastInsertId());
        for (const auto& [first, second] : members) {
            ZUBDB::QVParams member(false);
            AddInt(member, L"UserId", userFirst ? id : first);
            AddInt(member, L"RoleId", userFirst ? second : id);
            if (db_.InsertRow(L"QV_UserRole", member, kNone, kNone) != 0)
                return bo_.RollBackAndRecord();
        }
        if (db_.CommitTrans() != 0) return bo_.RollBackAndRecord();
        return 0;
    }

    int Taken(const std::wstring& name) {
        bo_.RaiseUnknownError(Err::kNameTaken,
                              zub::FormatBounded(1024, Err::kNameTakenText, name.c_str()));
        return Err::kNameTaken;
    }

private:
    UserDirectory& bo_;
    ZUBDB::CDBAccessor& db_;
};

namespace {

template <class Record>
void First(std::vector<Record>& found, std::optional<Record>& out) {
    out.reset();
    if (!found.empty()) out = std::move(found.front());
}

}  // namespace

int UserDirectory::FindUser(const std::wstring& name, std::optional<UserRecord>& user) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::FindUser", [&] {
        std::vector<UserRecord> users;
        if (int rc = Tables(*this).Users(&name, 0, users)) return rc;
        First(users, user);
        return 0;
    });
}

int UserDirectory::FindUser(int id, std::optional<UserRecord>& user) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::FindUser", [&] {
        std::vector<UserRecord> users;
        if (id > 0)
            if (int rc = Tables(*this).Users(nullptr, id, users)) return rc;
        First(users, user);
        return 0;
    });
}

int UserDirectory::FindRole(const std::wstring& name, std::optional<RoleRecord>& role) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::FindRole", [&] {
        std::vector<RoleRecord> roles;
        if (int rc = Tables(*this).Roles(&name, 0, roles)) return rc;
        First(roles, role);
        return 0;
    });
}

int UserDirectory::FindRole(int id, std::optional<RoleRecord>& role) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::FindRole", [&] {
        std::vector<RoleRecord> roles;
        if (id > 0)
            if (int rc = Tables(*this).Roles(nullptr, id, roles)) return rc;
        First(roles, role);
        return 0;
    });
}

int UserDirectory::Users(std::vector<UserRecord>& users) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::Users", [&] {
        users.clear();
        return Tables(*this).Users(nullptr, 0, users);
    });
}

int UserDirectory::Roles(std::vector<RoleRecord>& roles) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::Roles", [&] {
        roles.clear();
        Tables tables(*this);
        std::vector<UserRecord> users;
        std::vector<std::pair<int, int>> pairs;
        if (int rc = tables.Roles(nullptr, 0, roles)) return rc;
        if (int rc = tables.Users(nullptr, 0, users)) return rc;
        if (int rc = tables.Memberships(pairs)) return rc;
        std::map<int, std::wstring> userNames;
        for (const auto& user : users) userNames[user.id] = user.name;
        for (const auto& [userId, roleId] : pairs)
            for (auto& role : roles)
                if (role.id == roleId && userNames.count(userId))
                    role.members.push_back(userNames[userId]);
        return 0;
    });
}

int UserDirectory::CaseDuplicates(std::vector<std::wstring>& groups) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::CaseDuplicates", [&] {
        groups.clear();
        std::unique_ptr<ZUBDB::CDBRecordset> rs;
        if (Accessor()->ExecuteSql(
                rs,
                L"select group_concat(UserName, ', ') from (select UserName from QV_User "
                L"order by UserId) u group by UserName collate nocase having count(*) > 1",
                ZUBDB::QVParams(false), kNone, 0, 0) != 0)
            return RecordDbError();
        for (; HasRow(rs); rs->MoveNext()) groups.push_back(rs->GetStringAt(0));
        return 0;
    });
}

int UserDirectory::AddUser(const std::wstring& name, const std::vector<int>& roleIds, int& id) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::AddUser", [&] {
        Tables tables(*this);
        const auto holder = [&](std::vector<UserRecord>& users) {
            users.clear();
            return tables.Users(&name, 0, users);
        };
        std::vector<UserRecord> users;
        if (int rc = holder(users)) return rc;
        if (!users.empty()) return tables.Taken(users.front().name);
        std::vector<std::pair<int, int>> members;
        for (int roleId : roleIds) members.emplace_back(0, roleId);
        bool refused = false;
        const int rc = tables.Insert(L"QV_User", L"UserName", name, members, true, id, refused);
        // Another process added the name since the check: its unique index
        // refused this one.
        if (refused && holder(users) == 0 && !users.empty())
            return tables.Taken(users.front().name);
        return rc;
    });
}

int UserDirectory::AddRole(const std::wstring& name, const std::vector<int>& userIds, int& id) {
    return OperationScope::Run(*this, kFile, L"DRM::UserDirectory::AddRole", [&] {
        Tables tables(*this);
        std::vector<RoleRecord> roles;
        if (int rc = tables.Roles(&name, 0, roles)) return rc;
        if (!roles.empty()) return tables.Taken(roles.front().name);
        std::vector<std::pair<int, int>> members;
        for (int userId : userIds) members.emplace_back(userId, 0);
        bool refused = false;
        const int rc = tables.Insert(L"QV_Role", L"RoleName", name, members, false, id, refused);
        if (refused && tables.Roles(&name, 0, roles) == 0 && !roles.empty())
            return tables.Taken(roles.front().name);
        return rc;
    });
}

}  // namespace DRM
