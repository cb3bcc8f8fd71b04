#include "zubtest/pgcluster.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

extern char** environ;

namespace zub::testsupport {

namespace fs = std::filesystem;

namespace {

// The server programs of the newest installed major version, or those named
// by ZUB_PG_BINDIR.
std::string FindBinDir() {
    if (const char* dir = std::getenv("ZUB_PG_BINDIR"); dir != nullptr && *dir != '\0') return dir;
    std::string best;
    int bestVersion = -1;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const std::string name = entry.path().filename().string();
        if (!fs::exists(entry.path() / "bin" / "initdb", ec)) continue;
        const int version = std::atoi(name.c_str());
        if (version > bestVersion) {
            bestVersion = version;
            best = (entry.path() / "bin").string();
        }
    }
    if (best.empty())
        throw std::runtime_error(
            "no PostgreSQL server programs (initdb, pg_ctl) under /usr/lib/postgresql: install "
            "the Debian package postgresql (scripts/deps.sh) or set ZUB_PG_BINDIR");
    return best;
}

int FreeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        int err = errno;
        ::close(fd);
        throw std::system_error(err, std::generic_category(), "bind 127.0.0.1:0");
    }
    ::close(fd);
    return ntohs(addr.sin_port);
}

std::string RandomPassword() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device rd;
    std::string s;
    for (int i = 0; i < 24; ++i) s += kChars[rd() % (sizeof kChars - 1)];
    return s;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Who the server runs as when this process is root: postgres when the
// package made it, else nobody.
std::string UnprivilegedUser() {
    if (::geteuid() != 0) return "";
    for (const char* name : {"postgres", "nobody"}) {
        if (::getpwnam(name) != nullptr) return name;
    }
    throw std::runtime_error("running as root, and no user postgres or nobody to run the server");
}

void GiveTo(const std::string& user, const std::string& path) {
    if (user.empty()) return;
    const passwd* pw = ::getpwnam(user.c_str());
    if (pw == nullptr || ::chown(path.c_str(), pw->pw_uid, pw->pw_gid) != 0)
        throw std::system_error(errno, std::generic_category(), "chown " + path + " to " + user);
}

struct PgConnCloser {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct PgResultCloser {
    void operator()(PGresult* r) const { PQclear(r); }
};

const pid_t kNoPid = -1;

}  // namespace

PgCluster& PgCluster::Shared() {
    static PgCluster cluster;
    return cluster;
}

PgCluster::PgCluster(const std::string& prefix) {
    bin_ = FindBinDir();
    runAs_ = UnprivilegedUser();
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    top_ = pattern;
    dataDir_ = top_ + "/data";
    socketDir_ = top_;
    password_ = RandomPassword();

    // The watchdog first: from here on the folder goes whatever happens.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    const std::string asUser =
        runAs_.empty() ? ""
                       : "setpriv --reuid=" + runAs_ + " --regid=" + runAs_ + " --clear-groups ";
    const std::string script = "cat >/dev/null; " + asUser + bin_ + "/pg_ctl -D '" + dataDir_ +
                               "' stop -m immediate -w >/dev/null 2>&1; rm -rf '" + top_ + "'";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own session: a signal to the test's process group spares it.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    std::vector<std::string> args = {"/bin/sh", "-c", script};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = kNoPid;
    int rc = posix_spawn(&pid, "/bin/sh", &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(fds[0]);
    if (rc != 0) {
        ::close(fds[1]);
        fs::remove_all(top_);
        throw std::system_error(rc, std::generic_category(), "starting the cluster's watchdog");
    }
    watchdogPid_ = pid;
    watchdogPipe_ = fds[1];

    try {
        GiveTo(runAs_, top_);
        ::chmod(top_.c_str(), 0700);
        const std::string pwfile = top_ + "/pw";
        {
            std::ofstream out(pwfile);
            out << password_ << "\n";
        }
        GiveTo(runAs_, pwfile);
        Run("initdb", bin_ + "/initdb -D '" + dataDir_ + "' -U " + user_ + " --pwfile='" + pwfile +
                          "' -E UTF8 --locale=C --auth-local=trust --auth-host=scram-sha-256");
        std::ofstream conf(dataDir_ + "/postgresql.conf", std::ios::app);
        conf << "listen_addresses = '127.0.0.1'\n"
             << "unix_socket_directories = '" << socketDir_
             << "'\n"
             // Commits are acknowledged once written (a crash of the server
             // keeps them, only the machine's would not).
             << "fsync = off\nfull_page_writes = off\n"
             << "max_connections = 60\nshared_buffers = 16MB\n"
             // Eight hours east of UTC, without zone files: the server's
             // local time differs from UTC, as it does for most teams.
             << "timezone = '<+08>-08'\n";
        conf.close();
        for (int attempt = 0; attempt < 5; ++attempt) {
            port_ = FreeLoopbackPort();
            if (TryStart()) return;
        }
        throw std::runtime_error("the test PostgreSQL server did not start: " +
                                 ReadAll(top_ + "/server.log"));
    } catch (...) {
        ::close(watchdogPipe_);
        int status = 0;
        ::waitpid(watchdogPid_, &status, 0);
        throw;
    }
}

PgCluster::~PgCluster() {
    // The watchdog stops the server and removes the folder once the pipe closes.
    ::close(watchdogPipe_);
    int status = 0;
    ::waitpid(watchdogPid_, &status, 0);
}

void PgCluster::Run(const std::string& what, const std::string& command) const {
    const std::string log = top_ + "/" + what + ".log";
    const std::string asUser =
        runAs_.empty() ? ""
                       : "setpriv --reuid=" + runAs_ + " --regid=" + runAs_ + " --clear-groups ";
    const std::string full = "cd / && " + asUser + command + " >'" + log + "' 2>&1";
    int rc = std::system(full.c_str());
    if (rc != 0)
        throw std::runtime_error(what + " failed (" + std::to_string(rc) + "): " + command + "\n" +
                                 ReadAll(log));
}

bool PgCluster::TryStart() {
    try {
        Run("pg_ctl", bin_ + "/pg_ctl -D '" + dataDir_ + "' -l '" + top_ +
                          "/server.log' -w -t 60 -o '-p " + std::to_string(port_) + "' start");
        return true;
    } catch (const std::runtime_error&) {
        // Another server took the port between the probe and the start.
        if (ReadAll(top_ + "/server.log").find("already in use") != std::string::npos) return false;
        throw;
    }
}

void PgCluster::Stop(bool immediate) {
    Run("pg_ctl",
        bin_ + "/pg_ctl -D '" + dataDir_ + "' stop -w -m " + (immediate ? "immediate" : "fast"));
}

void PgCluster::Start() {
    if (!TryStart()) throw std::runtime_error("the port of the test server was taken meanwhile");
}

void PgCluster::Exec(const std::string& sql, const std::string& database) const {
    const std::string conninfo = "host='" + socketDir_ + "' port=" + std::to_string(port_) +
                                 " user=" + user_ + " dbname='" + database + "'";
    std::unique_ptr<PGconn, PgConnCloser> conn(PQconnectdb(conninfo.c_str()));
    if (PQstatus(conn.get()) != CONNECTION_OK)
        throw std::runtime_error("cannot reach the test server: " +
                                 std::string(PQerrorMessage(conn.get())));
    PQsetNoticeProcessor(
        conn.get(), [](void*, const char*) {}, nullptr);
    std::unique_ptr<PGresult, PgResultCloser> res(PQexec(conn.get(), sql.c_str()));
    const ExecStatusType status = PQresultStatus(res.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw std::runtime_error("test server: " + sql + ": " + PQerrorMessage(conn.get()));
}

void PgCluster::DropDatabase(const std::string& name) const {
    Exec("DROP DATABASE IF EXISTS \"" + name + "\" WITH (FORCE)");
}

void PgCluster::CopyDatabase(const std::string& from, const std::string& to) const {
    DropDatabase(to);
    Exec("CREATE DATABASE \"" + to + "\" TEMPLATE \"" + from + "\" STRATEGY FILE_COPY");
}

void PgCluster::RecreateDatabase(const std::string& name) const {
    DropDatabase(name);
    Exec("CREATE DATABASE \"" + name + "\"");
}

}  // namespace zub::testsupport
