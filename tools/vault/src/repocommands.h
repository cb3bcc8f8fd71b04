// vault repo create|list|show|rename|set-strategy|backup|delete|repoint
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "docvault/docrepo.h"
#include "output.h"
#include "session.h"

namespace zub::vault {

class RepoCommands {
public:
    explicit RepoCommands(Session& session) : s_(session) {}
    void Register(CLI::App& app);

    static Json ToJson(const DRM::DocRepo& repo);

private:
    void Create();
    void List();
    void Show();
    void Rename();
    void SetStrategy();
    void Backup();
    void Delete();
    void Repoint();

    // Repository names are also how people refer to them: no digits-only
    // names (those are ids), no separators, unique.
    void CheckNewName(const std::wstring& name);

    Session& s_;
    std::string repo_;
    std::string name_;
    std::string dir_;
    std::string desc_;
    std::string forUser_;
    int strategy_ = 1;
    bool force_ = false;
    std::string server_;
    bool adopt_ = false;
};

}  // namespace zub::vault
