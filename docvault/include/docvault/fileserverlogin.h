// Logs the process in to a file server once per server and port, with the
// password kept in QVSystem's QV_SysInfo. Shared by every object of the process.
#pragma once

#include <string>

#include "vaultfs/cnfs_cmd.h"

class FileServerLogin {
public:
    static FileServerLogin& Get();

    // server, port and token are those the calling object received in Connect;
    // the password is read there and the login goes to that same server text.
    void EnsureLogin(const std::wstring& server, long port, const std::wstring& token);
    // As above, but the login goes to the file server the caller is about to
    // use (a repository's Server and Port), which need not be written like
    // the database server.
    void EnsureLogin(const std::wstring& server, long port, const std::wstring& token,
                     const std::wstring& fileServer, long filePort);
    NFS::CNFS_Cmd* Cmd() const { return cmd_; }
    bool LoggedIn() const { return loggedIn_; }
    // Forget the login (tests, or after the store moved).
    void Reset();

private:
    FileServerLogin();
    NFS::CNFS_Cmd* cmd_;
    bool loggedIn_ = false;
    std::wstring server_;
    long port_ = 0;
};
