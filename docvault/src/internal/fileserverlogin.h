// Logs the process in to a file server once per server and port, with the
// password kept in QVSystem's QV_SysInfo. Shared by every object of the process.
//
// Threads: every member may be called from any thread. The state is guarded
// by one lock, and EnsureLogin checks and logs in under it, so threads racing
// to the same server log in once; the others wait until that login is done.
// The lock is held across the password select and the login, never across
// the file-server operations that follow, which the command object serves.
// One login is remembered per process: a login to another server replaces it.
#pragma once

#include <mutex>
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
    // Fixed at creation, so it needs no lock.
    NFS::CNFS_Cmd* Cmd() const { return cmd_; }
    bool LoggedIn() const;
    // Forget the login (tests, or after the store moved).
    void Reset();

private:
    FileServerLogin();
    NFS::CNFS_Cmd* const cmd_;
    mutable std::mutex mutex_;
    bool loggedIn_ = false;
    std::wstring server_;
    long port_ = 0;
};
