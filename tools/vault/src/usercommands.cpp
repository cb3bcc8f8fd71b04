#include "usercommands.h"

#include <cwctype>

#include "docvault/errors.h"
#include "docvault/useradmin.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/text.h"

using zub::Utf8ToWide;
using zub::WideToUtf8;

namespace {

Json Names(const std::vector<std::wstring>& names) {
    Json list = Json::array();
    for (const auto& n : names) list.push_back(WideToUtf8(n));
    return list;
}

std::string Joined(const Json& names) {
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : ", ") + n.get<std::string>();
    return text;
}

}  // namespace

void UserCommands::CheckName(const std::string& kind, const std::wstring& name) {
    bool bad = name.empty() || std::iswspace(name.front()) || std::iswspace(name.back()) ||
               name.find(L':') != std::wstring::npos;
    for (wchar_t c : name) bad = bad || std::iswcntrl(c);
    if (bad)
        throw VaultError(VaultErr::kBadName,
                         L"invalid " + Utf8ToWide(kind) + L" name \"" + name +
                             L"\": it may not be empty, start or end with a blank, or contain :");
}

void UserCommands::Register(CLI::App& app) {
    CLI::App* users = app.add_subcommand("user", "Users of the store: add, list, remove, rename");
    users->require_subcommand(1);
    CLI::App* ua = users->add_subcommand("add", "Add a user (administrator only)");
    ua->add_option("NAME", name_, "User name")->required();
    ua->add_option("--role", others_, "A role the user holds (repeatable)");
    ua->add_flag("--json", *s_.out().JsonFlag(), "Print the new user as JSON");
    ua->callback([this] { AddUser(); });
    CLI::App* ul = users->add_subcommand("list", "List the users with their roles");
    ul->alias("ls");
    ul->add_flag("--json", *s_.out().JsonFlag(), "Print JSON");
    ul->callback([this] { ListUsers(); });

    RegisterUserChanges(*users);

    CLI::App* roles = app.add_subcommand(
        "role", "Roles of the store: add, list, remove, rename, add-user, remove-user");
    roles->require_subcommand(1);
    CLI::App* ra = roles->add_subcommand("add", "Add a role (administrator only)");
    ra->add_option("NAME", name_, "Role name")->required();
    ra->add_option("--member", others_, "A user who holds the role (repeatable)");
    ra->add_flag("--json", *s_.out().JsonFlag(), "Print the new role as JSON");
    ra->callback([this] { AddRole(); });
    CLI::App* rl = roles->add_subcommand("list", "List the roles with their members");
    rl->alias("ls");
    rl->add_flag("--json", *s_.out().JsonFlag(), "Print JSON");
    rl->callback([this] { ListRoles(); });
    RegisterRoleChanges(*roles);
}

void UserCommands::RegisterUserChanges(CLI::App& users) {
    CLI::App* rm = users.add_subcommand(
        "remove",
        "Remove a user; one whom documents name is deactivated instead (administrator only)");
    rm->alias("rm");
    rm->add_option("NAME", name_, "User name")->required();
    rm->callback([this] { RemoveUser(); });
    CLI::App* rn = users.add_subcommand("rename", "Rename a user (administrator only)");
    rn->add_option("NAME", name_, "User name")->required();
    rn->add_option("NEWNAME", newName_, "New name")->required();
    rn->callback([this] { Rename(false); });
}

void UserCommands::RegisterRoleChanges(CLI::App& roles) {
    CLI::App* rm = roles.add_subcommand(
        "remove", "Remove a role with its memberships and rights (administrator only)");
    rm->alias("rm");
    rm->add_option("NAME", name_, "Role name")->required();
    rm->callback([this] { RemoveRole(); });
    CLI::App* rn = roles.add_subcommand("rename", "Rename a role (administrator only)");
    rn->add_option("NAME", name_, "Role name")->required();
    rn->add_option("NEWNAME", newName_, "New name")->required();
    rn->callback([this] { Rename(true); });
    for (const bool member : {true, false}) {
        CLI::App* m =
            roles.add_subcommand(member ? "add-user" : "remove-user",
                                 member ? "Give users the role (administrator only)"
                                        : "Take the role from users (administrator only)");
        m->add_option("NAME", name_, "Role name")->required();
        m->add_option("USER", others_, "User names")->required();
        m->callback([this, member] { Membership(member); });
    }
}

std::unique_ptr<DRM::UserAdmin> UserCommands::Admin(const std::string& what) {
    s_.RequireAdmin(what);
    return s_.Connected<DRM::UserAdmin>();
}

DRM::UserRecord UserCommands::User(const std::string& name) {
    auto user = s_.FindUser(Utf8ToWide(name));
    if (!user) throw VaultError(VaultErr::kUnknownUser, L"no user named " + Utf8ToWide(name));
    return *user;
}

DRM::RoleRecord UserCommands::Role(const std::string& name) {
    auto role = s_.FindRole(Utf8ToWide(name));
    if (!role) throw VaultError(VaultErr::kUnknownRole, L"no role named " + Utf8ToWide(name));
    return *role;
}

void UserCommands::RemoveUser() {
    auto admin = Admin("remove users");
    const DRM::UserRecord user = User(name_);
    if (user.id == s_.Actor().id)
        throw VaultError(VaultErr::kDenied, L"the acting user cannot remove itself");
    bool deactivated = false;
    VaultError::Check(admin->RemoveUser(user.id, s_.Actor().id, deactivated), *admin);
    s_.out().Say(deactivated ? "Deactivated user " + WideToUtf8(user.name) +
                                   ": documents name it as holder or creator, so it stays on "
                                   "record but may no longer act"
                             : "Removed user " + WideToUtf8(user.name));
}

void UserCommands::RemoveRole() {
    auto admin = Admin("remove roles");
    const DRM::RoleRecord role = Role(name_);
    VaultError::Check(admin->RemoveRole(role.id, s_.Actor().id), *admin);
    s_.out().Say("Removed role " + WideToUtf8(role.name) + " with its memberships and rights");
}

void UserCommands::Rename(bool role) {
    auto admin = Admin(role ? "rename roles" : "rename users");
    const std::wstring name = Utf8ToWide(newName_);
    CheckName(role ? "role" : "user", name);
    const int id = role ? Role(name_).id : User(name_).id;
    if (!role && id == s_.Actor().id)
        throw VaultError(VaultErr::kDenied, L"the acting user cannot rename itself");
    const int status = role ? admin->RenameRole(id, name, s_.Actor().id)
                            : admin->RenameUser(id, name, s_.Actor().id);
    if (status == DRM::Err::kNameTaken)
        throw VaultError(VaultErr::kNameTaken, std::wstring(role ? L"a role" : L"a user") +
                                                   L" named " + name + L" exists already");
    VaultError::Check(status, *admin);
    s_.out().Say(std::string(role ? "Renamed role " : "Renamed user ") + name_ + " to " + newName_);
}

void UserCommands::Membership(bool member) {
    auto admin = Admin("change memberships");
    const DRM::RoleRecord role = Role(name_);
    std::vector<DRM::UserRecord> users;
    for (const auto& u : others_) users.push_back(User(u));
    for (const auto& u : users)
        VaultError::Check(admin->SetMember(u.id, role.id, member, s_.Actor().id), *admin);
    s_.out().Say(std::string(member ? "Gave role " : "Took role ") + WideToUtf8(role.name) +
                 (member ? " to " : " from ") + std::to_string(users.size()) + " user" +
                 (users.size() == 1 ? "" : "s"));
}

void UserCommands::AddUser() {
    s_.RequireAdmin("add users");
    const std::wstring name = Utf8ToWide(name_);
    CheckName("user", name);
    std::vector<int> roleIds;
    for (const auto& r : others_) {
        auto role = s_.FindRole(Utf8ToWide(r));
        if (!role) throw VaultError(VaultErr::kUnknownRole, L"no role named " + Utf8ToWide(r));
        roleIds.push_back(role->id);
    }
    int id = 0;
    const int status = s_.users().AddUser(name, roleIds, id);
    if (status == DRM::Err::kNameTaken)
        if (auto taken = s_.FindUser(name))
            throw VaultError(VaultErr::kNameTaken,
                             L"a user named " + taken->name + L" exists already");
    VaultError::Check(status, s_.users());
    auto user = s_.FindUser(id);
    Json j;
    j["id"] = id;
    j["name"] = name_;
    j["roles"] = Names(user ? user->roles : std::vector<std::wstring>{});
    s_.out().Done(j, "Added user " + name_ + " (id " + std::to_string(id) + ")" +
                         (j["roles"].empty() ? "" : " with roles " + Joined(j["roles"])));
}

void UserCommands::ListUsers() {
    s_.Actor();
    Json rows = Json::array();
    std::vector<DRM::UserRecord> users;
    VaultError::Check(s_.users().Users(users), s_.users());
    auto admin = s_.Connected<DRM::UserAdmin>();
    for (const auto& u : users) {
        bool active = true;
        VaultError::Check(admin->IsActive(u.id, active), *admin);
        Json j;
        j["id"] = u.id;
        j["name"] = WideToUtf8(u.name);
        j["roles"] = Names(u.roles);
        j["active"] = active;
        rows.push_back(std::move(j));
    }
    if (!s_.out().json()) {
        for (auto& row : rows) {
            row["roles"] = Joined(row["roles"]);
            if (!row["active"].get<bool>())
                row["name"] = row["name"].get<std::string>() + " (deactivated)";
        }
    }
    s_.out().List({{"id", "ID"}, {"name", "NAME"}, {"roles", "ROLES"}}, rows, "(no users)");
}

void UserCommands::AddRole() {
    s_.RequireAdmin("add roles");
    const std::wstring name = Utf8ToWide(name_);
    CheckName("role", name);
    std::vector<int> userIds;
    for (const auto& u : others_) {
        auto user = s_.FindUser(Utf8ToWide(u));
        if (!user) throw VaultError(VaultErr::kUnknownUser, L"no user named " + Utf8ToWide(u));
        userIds.push_back(user->id);
    }
    int id = 0;
    const int status = s_.users().AddRole(name, userIds, id);
    if (status == DRM::Err::kNameTaken)
        throw VaultError(VaultErr::kNameTaken, L"a role named " + name + L" exists already");
    VaultError::Check(status, s_.users());
    Json j;
    j["id"] = id;
    j["name"] = name_;
    j["members"] = Json::array();
    for (const auto& u : others_) j["members"].push_back(u);
    s_.out().Done(j, "Added role " + name_ + " (id " + std::to_string(id) + ")" +
                         (others_.empty() ? "" : " held by " + Joined(j["members"])));
}

void UserCommands::ListRoles() {
    s_.Actor();
    Json rows = Json::array();
    std::vector<DRM::RoleRecord> roles;
    VaultError::Check(s_.users().Roles(roles), s_.users());
    for (const auto& r : roles) {
        Json j;
        j["id"] = r.id;
        j["name"] = WideToUtf8(r.name);
        j["members"] = Names(r.members);
        rows.push_back(std::move(j));
    }
    if (!s_.out().json())
        for (auto& row : rows) row["members"] = Joined(row["members"]);
    s_.out().List({{"id", "ID"}, {"name", "NAME"}, {"members", "MEMBERS"}}, rows, "(no roles)");
}
