// A throwaway PostgreSQL cluster for tests: initdb in a temporary folder,
// listening on 127.0.0.1 at a port picked at start and on a Unix socket in
// that folder. Run as root, the server runs as an unprivileged user. A
// watchdog process stops the server and removes the folder when the cluster
// object goes or the test program dies in any way.
//
// The superuser logs in without a password over the socket and with one
// over TCP, so tests can provoke refused logins.
#pragma once

#include <memory>
#include <string>

namespace zub::testsupport {

class PgCluster {
public:
    // The cluster of this test program, started at the first call and kept
    // until the program ends. Throws std::runtime_error (never skips) when the
    // server programs are missing or the server does not start.
    static PgCluster& Shared();

    explicit PgCluster(const std::string& prefix = "zub-pg");
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    // The folder holding everything of the cluster.
    const std::string& folder() const { return top_; }
    // The absolute socket folder, a server text naming the server.
    const std::string& socketDir() const { return socketDir_; }
    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    // Token for the socket (no password needed) and for TCP.
    std::string SocketToken() const { return "user=" + user_; }
    std::string TcpToken() const { return "user=" + user_ + " password=" + password_; }

    // Runs SQL as the superuser on `database`; throws on failure.
    void Exec(const std::string& sql, const std::string& database = "postgres") const;
    // Drops `name` (closing its connections) and makes it again, empty.
    void RecreateDatabase(const std::string& name) const;
    void DropDatabase(const std::string& name) const;
    // Makes `to` anew as a copy of `from`, which nobody may be connected to.
    void CopyDatabase(const std::string& from, const std::string& to) const;

    // `pg_ctl stop -m immediate` (as a crash would) or fast; Start() brings
    // the server back on the same port.
    void Stop(bool immediate);
    void Start();

private:
    void Run(const std::string& what, const std::string& command) const;
    bool TryStart();

    std::string top_;
    std::string dataDir_;
    std::string socketDir_;
    std::string bin_;
    std::string runAs_;  // "" when the server runs as this process's user
    std::string user_ = "zub::testsupport";
    std::string password_;
    int port_ = 0;
    int watchdogPid_ = -1;
    int watchdogPipe_ = -1;
};

}  // namespace zub::testsupport
