// Logs the process in to a file server once per server and port, with the
// password kept in QVSystem's QV_SysInfo. Shared by every object of the process.
#pragma once

#include <string>

#include "vaultfs/cnfs_cmd.h"

class FileServerLogin {
public:
    static FileServerLogin& Get();

    // server, port and token are those the calling object received in Connect.
    void EnsureLogin(const std::wstring& server, long port, const std::wstring& token);
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
