// vault init [DIR]: a ready embedded store; vault init --server HOST[:PORT]
// [--files DIR|URL] [FILE]: a team's store on a PostgreSQL server, named by
// FILE, its files in a shared folder or on a WebDAV server.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "session.h"

namespace zub::vault {

class InitCommand {
public:
    explicit InitCommand(Session& session) : s_(session) {}
    void Register(CLI::App& app);

private:
    void Run();
    void RunOnServer();
    static std::wstring FilesPassword();

    Session& s_;
    std::string dir_;
    std::string group_;
    std::string server_;
    std::string files_;
    std::string user_;
};

}  // namespace zub::vault
