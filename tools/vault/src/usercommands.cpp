#include "usercommands.h"

#include <cwctype>

#include "docvault/errors.h"
#include "docvault/useradmin.h"
#include "vaulterror.h"
#include "vaulterrors.h"
#include "zub/i18n.h"
#include "zub/text.h"

namespace zub::vault {

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
                         kind == "role"
                             ? zub::trf("invalid role name \"%s\": it may not be empty, start or "
                                        "end with a blank, or contain :",
                                        WideToUtf8(name).c_str())
                             : zub::trf("invalid user name \"%s\": it may not be empty, start or "
                                        "end with a blank, or contain :",
                                        WideToUtf8(name).c_str()));
}

void UserCommands::Register(CLI::App& app) {
    CLI::App* users =
        app.add_subcommand("user", zub::tr("Users of the store: add, list, remove, rename"));
    users->require_subcommand(1);
    CLI::App* ua = users->add_subcommand("add", zub::tr("Add a user (administrator only)"));
    ua->add_option("NAME", name_, zub::tr("User name"))->required();
    ua->add_option("--role", others_, zub::tr("A role the user holds (repeatable)"));
    ua->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print the new user as JSON"));
    ua->callback([this] { AddUser(); });
    CLI::App* ul = users->add_subcommand("list", zub::tr("List the users with their roles"));
    ul->alias("ls");
    ul->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    ul->callback([this] { ListUsers(); });

    RegisterUserChanges(*users);

    CLI::App* roles = app.add_subcommand(
        "role", zub::tr("Roles of the store: add, list, remove, rename, add-user, remove-user"));
    roles->require_subcommand(1);
    CLI::App* ra = roles->add_subcommand("add", zub::tr("Add a role (administrator only)"));
    ra->add_option("NAME", name_, zub::tr("Role name"))->required();
    ra->add_option("--member", others_, zub::tr("A user who holds the role (repeatable)"));
    ra->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print the new role as JSON"));
    ra->callback([this] { AddRole(); });
    CLI::App* rl = roles->add_subcommand("list", zub::tr("List the roles with their members"));
    rl->alias("ls");
    rl->add_flag("--json", *s_.out().JsonFlag(), zub::tr("Print JSON"));
    rl->callback([this] { ListRoles(); });
    RegisterRoleChanges(*roles);
}

void UserCommands::RegisterUserChanges(CLI::App& users) {
    CLI::App* rm = users.add_subcommand(
        "remove",
        zub::tr(
            "Remove a user; one whom documents name is deactivated instead (administrator only)"));
    rm->alias("rm");
    rm->add_option("NAME", name_, zub::tr("User name"))->required();
    rm->callback([this] { RemoveUser(); });
    CLI::App* rn = users.add_subcommand("rename", zub::tr("Rename a user (administrator only)"));
    rn->add_option("NAME", name_, zub::tr("User name"))->required();
    rn->add_option("NEWNAME", newName_, zub::tr("New name"))->required();
    rn->callback([this] { Rename(false); });
}

void UserCommands::RegisterRoleChanges(CLI::App& roles) {
    CLI::App* rm = roles.add_subcommand(
        "remove", zub::tr("Remove a role with its memberships and rights (administrator only)"));
    rm->alias("rm");
    rm->add_option("NAME", name_, zub::tr("Role name"))->required();
    rm->callback([this] { RemoveRole(); });
    CLI::App* rn = roles.add_subcommand("rename", zub::tr("Rename a role (administrator only)"));
    rn->add_option("NAME", name_, zub::tr("Role name"))->required();
    rn->add_option("NEWNAME", newName_, zub::tr("New name"))->required();
    rn->callback([this] { Rename(true); });
    for (const bool member : {true, false}) {
        CLI::App* m =
            roles.add_subcommand(member ? "add-user" : "remove-user",
                                 member ? zub::tr("Give users the role (administrator only)")
                                        : zub::tr("Take the role from users (administrator only)"));
        m->add_option("NAME", name_, zub::tr("Role name"))->required();
        m->add_option("USER", others_, zub::tr("User names"))->required();
        m->callback([this, member] { Membership(member); });
    }
}

std::unique_ptr<DRM::UserAdmin> UserCommands::Admin(const std::string& what) {
    s_.RequireAdmin(what);
    return s_.Connected<DRM::UserAdmin>();
}

DRM::UserRecord UserCommands::User(const std::string& name) {
    auto user = s_.FindUser(Utf8ToWide(name));
    if (!user) throw VaultError(VaultErr::kUnknownUser, zub::trf("no user named %s", name.c_str()));
    return *user;
}

DRM::RoleRecord UserCommands::Role(const std::string& name) {
    auto role = s_.FindRole(Utf8ToWide(name));
    if (!role) throw VaultError(VaultErr::kUnknownRole, zub::trf("no role named %s", name.c_str()));
    return *role;
}

void UserCommands::RemoveUser() {
    auto admin = Admin(zub::tr("remove users"));
    const DRM::UserRecord user = User(name_);
    if (user.id == s_.Actor().id)
        throw VaultError(VaultErr::kDenied, zub::tr("the acting user cannot remove itself"));
    bool deactivated = false;
    VaultError::Check(admin->RemoveUser(user.id, s_.Actor().id, deactivated), *admin);
    s_.out().Say(deactivated ? zub::trf("Deactivated user %s: documents name it as holder or "
                                        "creator, so it stays on record but may no longer act",
                                        WideToUtf8(user.name).c_str())
                             : zub::trf("Removed user %s", WideToUtf8(user.name).c_str()));
}

void UserCommands::RemoveRole() {
    auto admin = Admin(zub::tr("remove roles"));
    const DRM::RoleRecord role = Role(name_);
    VaultError::Check(admin->RemoveRole(role.id, s_.Actor().id), *admin);
    s_.out().Say(
        zub::trf("Removed role %s with its memberships and rights", WideToUtf8(role.name).c_str()));
}

void UserCommands::Rename(bool role) {
    auto admin = Admin(role ? zub::tr("rename roles") : zub::tr("rename users"));
    const std::wstring name = Utf8ToWide(newName_);
    CheckName(role ? "role" : "user", name);
    const int id = role ? Role(name_).id : User(name_).id;
    if (!role && id == s_.Actor().id)
        throw VaultError(VaultErr::kDenied, zub::tr("the acting user cannot rename itself"));
    const int status = role ? admin->RenameRole(id, name, s_.Actor().id)
                            : admin->RenameUser(id, name, s_.Actor().id);
    if (status == DRM::Err::kNameTaken)
        throw VaultError(VaultErr::kNameTaken,
                         role ? zub::trf("a role named %s exists already", newName_.c_str())
                              : zub::trf("a user named %s exists already", newName_.c_str()));
    VaultError::Check(status, *admin);
    s_.out().Say(role ? zub::trf("Renamed role %s to %s", name_.c_str(), newName_.c_str())
                      : zub::trf("Renamed user %s to %s", name_.c_str(), newName_.c_str()));
}

void UserCommands::Membership(bool member) {
    auto admin = Admin(zub::tr("change memberships"));
    const DRM::RoleRecord role = Role(name_);
    std::vector<DRM::UserRecord> users;
    for (const auto& u : others_) users.push_back(User(u));
    for (const auto& u : users)
        VaultError::Check(admin->SetMember(u.id, role.id, member, s_.Actor().id), *admin);
    const std::string shown = WideToUtf8(role.name);
    if (users.size() == 1)
        s_.out().Say(member ? zub::trf("Gave role %s to 1 user", shown.c_str())
                            : zub::trf("Took role %s from 1 user", shown.c_str()));
    else
        s_.out().Say(member ? zub::trf("Gave role %s to %zu users", shown.c_str(), users.size())
                            : zub::trf("Took role %s from %zu users", shown.c_str(), users.size()));
}

void UserCommands::AddUser() {
    s_.RequireAdmin(zub::tr("add users"));
    const std::wstring name = Utf8ToWide(name_);
    CheckName("user", name);
    std::vector<int> roleIds;
    for (const auto& r : others_) {
        auto role = s_.FindRole(Utf8ToWide(r));
        if (!role)
            throw VaultError(VaultErr::kUnknownRole, zub::trf("no role named %s", r.c_str()));
        roleIds.push_back(role->id);
    }
    int id = 0;
    const int status = s_.users().AddUser(name, roleIds, id);
    if (status == DRM::Err::kNameTaken)
        if (auto taken = s_.FindUser(name))
            throw VaultError(VaultErr::kNameTaken, zub::trf("a user named %s exists already",
                                                            WideToUtf8(taken->name).c_str()));
    VaultError::Check(status, s_.users());
    auto user = s_.FindUser(id);
    Json j;
    j["id"] = id;
    j["name"] = name_;
    j["roles"] = Names(user ? user->roles : std::vector<std::wstring>{});
    s_.out().Done(j, j["roles"].empty() ? zub::trf("Added user %s (id %d)", name_.c_str(), id)
                                        : zub::trf("Added user %s (id %d) with roles %s",
                                                   name_.c_str(), id, Joined(j["roles"]).c_str()));
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
                row["name"] = zub::trf("%s (deactivated)", row["name"].get<std::string>().c_str());
        }
    }
    s_.out().List({{"id", ZUB_N_("ID")}, {"name", ZUB_N_("NAME")}, {"roles", ZUB_N_("ROLES")}},
                  rows, zub::tr("(no users)"));
}

void UserCommands::AddRole() {
    s_.RequireAdmin(zub::tr("add roles"));
    const std::wstring name = Utf8ToWide(name_);
    CheckName("role", name);
    std::vector<int> userIds;
    for (const auto& u : others_) {
        auto user = s_.FindUser(Utf8ToWide(u));
        if (!user)
            throw VaultError(VaultErr::kUnknownUser, zub::trf("no user named %s", u.c_str()));
        userIds.push_back(user->id);
    }
    int id = 0;
    const int status = s_.users().AddRole(name, userIds, id);
    if (status == DRM::Err::kNameTaken)
        throw VaultError(VaultErr::kNameTaken,
                         zub::trf("a role named %s exists already", name_.c_str()));
    VaultError::Check(status, s_.users());
    Json j;
    j["id"] = id;
    j["name"] = name_;
    j["members"] = Json::array();
    for (const auto& u : others_) j["members"].push_back(u);
    s_.out().Done(j, others_.empty() ? zub::trf("Added role %s (id %d)", name_.c_str(), id)
                                     : zub::trf("Added role %s (id %d) held by %s", name_.c_str(),
                                                id, Joined(j["members"]).c_str()));
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
    s_.out().List({{"id", ZUB_N_("ID")}, {"name", ZUB_N_("NAME")}, {"members", ZUB_N_("MEMBERS")}},
                  rows, zub::tr("(no roles)"));
}

}  // namespace zub::vault
