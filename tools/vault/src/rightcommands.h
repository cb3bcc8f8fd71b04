// vault rights list|grant|revoke|show
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "docvault/docrepoauth.h"
#include "output.h"
#include "session.h"

namespace zub::vault {

class RightCommands {
public:
    explicit RightCommands(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    // "rwm", "r-m", "read,write" ... to read/write/manage flags; throws on
    // anything else or on no right at all.
    struct Rights {
        bool read = false;
        bool write = false;
        bool manage = false;
    };
    static Rights ParseRights(const std::string& text);
    static std::string ShowRights(int read, int write, int manage);

private:
    void List();
    void Grant();
    void Revoke();
    void Show();

    // A user ("alice", "user:alice") or a role ("role:designers").
    struct Principal {
        bool isRole = false;
        int id = 0;
        std::wstring name;
    };
    Principal Resolve(const std::string& who);
    // Gives the principal exactly these rights on the repository (none: takes
    // its own rows away); `changed` tells whether anything changed.
    void SetRights(int repoId, const Principal& p, bool read, bool write, bool manage,
                   bool& changed);
    std::vector<DRM::DocRepoAuth> Current(int repoId);

    Session& s_;
    std::string repo_;
    std::string who_;
    std::string rights_;
};

}  // namespace zub::vault
