// vault user add|list, vault role add|list: the store's users and roles.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "output.h"
#include "session.h"

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

    Session& s_;
    std::string name_;
    std::vector<std::string> others_;
};
