// vault user add|list|remove|rename, vault role add|list|remove|rename|add-user|
// remove-user: the store's users and roles.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "docvault/useradmin.h"
#include "output.h"
#include "session.h"

namespace zub::vault {

class UserCommands {
public:
    explicit UserCommands(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    // Names people type: not empty, no blanks at either end, no control
    // characters, no ':' (it separates "user:" and "role:" in rights).
    static void CheckName(const std::string& kind, const std::wstring& name);

private:
    void AddUser();
    void ListUsers();
    void AddRole();
    void ListRoles();
    void RegisterUserChanges(CLI::App& users);
    void RegisterRoleChanges(CLI::App& roles);
    void RemoveUser();
    void RemoveRole();
    void Rename(bool role);
    void Membership(bool member);
    // The store's user administration, for the administrator only.
    std::unique_ptr<DRM::UserAdmin> Admin(const std::string& what);
    DRM::UserRecord User(const std::string& name);
    DRM::RoleRecord Role(const std::string& name);

    Session& s_;
    std::string name_;
    std::string newName_;
    std::vector<std::string> others_;
};

}  // namespace zub::vault
