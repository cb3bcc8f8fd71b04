#include "zubtest/webdavserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace zub::testsupport {

namespace fs = std::filesystem;

namespace {

constexpr const char* kApache = "/usr/sbin/apache2";
constexpr const char* kModules = "/usr/lib/apache2/modules/";
constexpr const char* kNginx = "/usr/sbin/nginx";
// PROPFIND, OPTIONS, LOCK and UNLOCK: not in nginx itself.
constexpr const char* kNginxDavExt = "/usr/lib/nginx/modules/ngx_http_dav_ext_module.so";
// nobody: the server runs without root's rights.
constexpr uid_t kUnprivileged = 65534;

std::string Quote(const fs::path& path) { return "\"" + path.string() + "\""; }

const char* Program(WebDavServer::Kind kind) {
    return kind == WebDavServer::Kind::Nginx ? kNginx : kApache;
}

// A port nobody listens on now; another process may take it before the
// server binds it, which Launch notices.
unsigned short FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), "bind 127.0.0.1:0");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(unsigned short port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

void Run(const std::string& command, const std::string& input = {}) {
    FILE* pipe = ::popen(command.c_str(), "w");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
    std::fwrite(input.data(), 1, input.size(), pipe);
    if (::pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
}

// What the test writes into `folder` itself stays the server's to change: a
// default ACL hands every new entry to its user.
void Grant(const fs::path& folder, uid_t uid) {
    const std::string user = std::to_string(uid);
    Run("setfacl -R -m u:" + user + ":rwx,d:u:" + user + ":rwx,d:m:rwx " + Quote(folder));
}

void Own(const fs::path& path, uid_t uid, gid_t gid) {
    if (::chown(path.c_str(), uid, gid) != 0)
        throw std::system_error(errno, std::generic_category(), "chown " + path.string());
}

}  // namespace

WebDavServer::WebDavServer() : WebDavServer(Options{}) {}

WebDavServer::WebDavServer(Options options)
    : options_(std::move(options)),
      dir_("zub-webdav"),
      documents_(options_.documents.empty() ? dir_.path() / "htdocs" : options_.documents) {
    const Kind kind = options_.kind;
    if (::access(Program(kind), X_OK) != 0 ||
        (kind == Kind::Nginx && ::access(kNginxDavExt, R_OK) != 0))
        throw std::runtime_error(
            std::string(Program(kind)) + " or its WebDAV modules are missing: install " +
            (kind == Kind::Nginx ? "nginx libnginx-mod-http-dav-ext" : "apache2") +
            " (scripts/deps.sh)");
    fs::create_directories(documents_);
    fs::create_directories(dir_.path() / "run");
    // The password goes through a pipe, never the process list.
    Run("htpasswd -ci " + Quote(dir_.path() / "htpasswd") + " '" + options_.user + "' 2>/dev/null",
        options_.password + "\n");
    if (::geteuid() == 0) {
        uid_ = kUnprivileged;
        gid_ = kUnprivileged;
        fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::others_exec);
        for (const fs::path& path : {documents_, dir_.path() / "run"}) Own(path, uid_, gid_);
        Grant(documents_, uid_);
        for (const char* name : {"htpasswd"})
            fs::permissions(dir_.path() / name, fs::perms::others_read, fs::perm_options::add);
    }
    if (!options_.key.empty()) {
        // Copies the server's user can read, beside the configuration.
        fs::copy_file(options_.key, dir_.path() / "server.key");
        fs::copy_file(options_.certificate, dir_.path() / "server.pem");
        options_.key = dir_.path() / "server.key";
        options_.certificate = dir_.path() / "server.pem";
        if (uid_ != 0)
            for (const char* name : {"server.key", "server.pem"})
                Own(dir_.path() / name, uid_, gid_);
    }

    // The watchdog outlives a killed test: when the pipe's last writer (this
    // process) goes, it kills the server's group and removes the folder.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    const std::string script = "trap '' INT TERM HUP; read _; pg=$(cat " +
                               Quote(dir_.path() / "pgid") +
                               " 2>/dev/null); [ -n \"$pg\" ] && kill -KILL -\"$pg\" "
                               "2>/dev/null; rm -rf -- " +
                               Quote(dir_.path());
    watchdog_ = ::fork();
    if (watchdog_ < 0) throw std::system_error(errno, std::generic_category(), "fork");
    if (watchdog_ == 0) {
        ::setsid();
        ::dup2(fds[0], 0);
        ::execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[0]);
    watchdogPipe_ = fds[1];

    for (int attempt = 0; attempt < 8; ++attempt) {
        port_ = FreePort();
        WriteConfig();
        if (Launch()) return;
    }
    throw std::runtime_error(std::string(Name(kind)) + " found no free port:\n" + ErrorLog());
}

WebDavServer::~WebDavServer() {
    Stop();
    if (watchdogPipe_ >= 0) ::close(watchdogPipe_);
    if (watchdog_ > 0) ::waitpid(watchdog_, nullptr, 0);
}

std::string WebDavServer::origin() const {
    return options_.certificate.empty() ? "http://127.0.0.1" : "https://127.0.0.1";
}

std::string WebDavServer::ErrorLog() const {
    std::ifstream in(dir_.path() / "error.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const char* WebDavServer::Name(Kind kind) { return kind == Kind::Nginx ? "nginx" : "apache2"; }

void WebDavServer::WriteConfig() const {
    const fs::path file = dir_.path() / "httpd.conf";
    std::ofstream conf(file);
    if (options_.kind == Kind::Nginx)
        WriteNginxConfig(conf);
    else
        WriteApacheConfig(conf);
    if (!conf) throw std::runtime_error("cannot write " + file.string());
}

void WebDavServer::WriteApacheConfig(std::ostream& conf) const {
    const fs::path dir = dir_.path();
    conf << "ServerRoot " << Quote(dir) << "\nServerName 127.0.0.1\nListen 127.0.0.1:" << port_
         << "\nPidFile " << Quote(dir / "run/httpd.pid") << "\nDefaultRuntimeDir "
         << Quote(dir / "run") << "\nMutex file:" << (dir / "run").string() << " default\nErrorLog "
         << Quote(dir / "error.log") << "\nLogLevel warn\n";
    for (const char* module : {"mpm_event", "authz_core", "authn_core", "auth_basic", "authn_file",
                               "authz_user", "dav", "dav_fs"})
        conf << "LoadModule " << module << "_module " << kModules << "mod_" << module << ".so\n";
    conf << "StartServers 1\nServerLimit 2\nThreadsPerChild 16\nMaxRequestWorkers 32\n"
            "Timeout 30\nKeepAlive On\nMaxKeepAliveRequests 0\nKeepAliveTimeout 30\n"
            "LimitRequestBody 0\nDavLockDB "
         << Quote(dir / "run/davlock") << "\nDocumentRoot " << Quote(documents_) << "\n<Directory "
         << Quote(documents_)
         << ">\n  Dav On\n  Options None\n  AllowOverride None\n  AuthType Basic\n"
            "  AuthName vault\n  AuthBasicProvider file\n  AuthUserFile "
         << Quote(dir / "htpasswd") << "\n  Require valid-user\n</Directory>\n";
    if (!options_.certificate.empty())
        conf << "LoadModule ssl_module " << kModules << "mod_ssl.so\nSSLEngine on\n"
             << "SSLCertificateFile " << Quote(options_.certificate) << "\nSSLCertificateKeyFile "
             << Quote(options_.key) << "\nSSLSessionCache none\n";
}

void WebDavServer::WriteNginxConfig(std::ostream& conf) const {
    const fs::path dir = dir_.path();
    const fs::path run = dir / "run";
    // Every path nginx would otherwise take from its build (under /var) is
    // set here, so nothing is written outside the folder.
    conf << "load_module " << Quote(kNginxDavExt) << ";\ndaemon off;\nmaster_process on;\n"
         << "worker_processes 1;\npid " << Quote(run / "httpd.pid") << ";\nerror_log "
         << Quote(dir / "error.log") << " warn;\nevents { worker_connections 256; }\n"
         << "http {\n  access_log off;\n  client_body_temp_path " << Quote(run / "body")
         << ";\n  proxy_temp_path " << Quote(run / "proxy") << ";\n  fastcgi_temp_path "
         << Quote(run / "fastcgi") << ";\n  uwsgi_temp_path " << Quote(run / "uwsgi")
         << ";\n  scgi_temp_path " << Quote(run / "scgi")
         << ";\n  dav_ext_lock_zone zone=vault:1m timeout=1d;\n  keepalive_timeout 30s;\n"
            "  keepalive_requests 100000;\n  server {\n    listen 127.0.0.1:"
         << port_ << (options_.certificate.empty() ? "" : " ssl")
         << ";\n    server_name 127.0.0.1;\n    root " << Quote(documents_)
         << ";\n    client_max_body_size 0;\n";
    if (!options_.certificate.empty())
        conf << "    ssl_certificate " << Quote(options_.certificate)
             << ";\n    ssl_certificate_key " << Quote(options_.key) << ";\n";
    conf << "    location / {\n      auth_basic vault;\n      auth_basic_user_file "
         << Quote(dir / "htpasswd")
         << ";\n      dav_methods PUT DELETE MKCOL COPY MOVE;\n"
            "      dav_ext_methods PROPFIND OPTIONS LOCK UNLOCK;\n"
            "      dav_ext_lock zone=vault;\n      dav_access user:rw group:rw all:r;\n"
            "    }\n  }\n}\n";
}

bool WebDavServer::Launch() {
    const std::string conf = (dir_.path() / "httpd.conf").string();
    const std::string log = (dir_.path() / "error.log").string();
    const std::string pgidFile = (dir_.path() / "pgid").string();
    std::ofstream{log, std::ios::trunc}.close();
    if (uid_ != 0) Own(log, uid_, gid_);
    const std::string prefix = dir_.path().string() + "/";
    const Kind kind = options_.kind;
    const uid_t uid = uid_;
    const gid_t gid = gid_;
    const pid_t pid = ::fork();
    if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        ::setsid();
        if (uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
            ::_exit(126);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        if (kind == Kind::Nginx)
            ::execl(kNginx, "nginx", "-p", prefix.c_str(), "-c", conf.c_str(), "-e", log.c_str(),
                    static_cast<char*>(nullptr));
        else
            ::execl(kApache, "apache2", "-f", conf.c_str(), "-DFOREGROUND",
                    static_cast<char*>(nullptr));
        ::_exit(127);
    }
    pid_ = pid;
    std::ofstream(pgidFile) << pid << "\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            pid_ = -1;
            if (ErrorLog().find("Address already in use") != std::string::npos) return false;
            throw std::runtime_error(std::string(Name(kind)) + " stopped at start (status " +
                                     std::to_string(status) + "):\n" + ErrorLog());
        }
        if (Accepts(port_)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop();
    throw std::runtime_error(std::string(Name(kind)) + " did not listen within 20 s:\n" +
                             ErrorLog());
}

std::string WebDavServer::Serve(const fs::path& folder) {
    // Apache here follows no links (Options None).
    if (options_.kind != Kind::Nginx)
        throw std::logic_error("only nginx serves further folders; start a server per folder");
    const std::string name = "served-" + std::to_string(++served_);
    fs::create_directory_symlink(fs::absolute(folder), documents_ / name);
    if (uid_ != 0) Grant(folder, uid_);
    return "/" + name;
}

void WebDavServer::Stop() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Workers the main process left behind.
    ::kill(-pid_, SIGKILL);
    pid_ = -1;
}

void WebDavServer::Start() {
    if (pid_ > 0) return;
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (Launch()) return;
        // The old listener's port is still closing.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    throw std::runtime_error(std::string(Name(options_.kind)) +
                             " could not listen on its port again:\n" + ErrorLog());
}

void WebDavServer::MakeCertificate(const fs::path& dir, const std::string& file,
                                   const std::string& name) {
    const bool ip = name.find_first_not_of("0123456789.") == std::string::npos;
    Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj '/CN=" +
        name + "' -addext 'subjectAltName=" + (ip ? "IP:" : "DNS:") + name + "' -keyout " +
        Quote(dir / (file + ".key")) + " -out " + Quote(dir / (file + ".pem")) +
        " >/dev/null 2>&1");
}

}  // namespace zub::testsupport
