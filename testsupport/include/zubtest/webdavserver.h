// A throwaway WebDAV server (Apache httpd with mod_dav and mod_dav_fs, or
// nginx with its dav and dav_ext modules) serving a temporary folder on 127.0.0.1, on a port free
// when it starts, behind Basic authentication over its own password file; optionally with TLS.
// Never the system's service: the configuration is generated, the process runs in its own process
// group as an unprivileged user when started by root, and a watchdog kills the group and removes
// the folder when this process dies, however it dies. A missing server program or htpasswd throws.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <iosfwd>
#include <string>

#include "zubtest/tempdir.h"

namespace zub::testsupport {

class WebDavServer {
public:
    // The servers users bring.
    enum class Kind { Apache, Nginx };

    struct Options {
        Kind kind = Kind::Apache;
        std::string user = "system";
        std::string password = "secret";
        // PEM files of the server's certificate and key: TLS when set.
        std::filesystem::path certificate;
        std::filesystem::path key;
        // The folder "/" serves; a fresh one in the server's folder when
        // empty. Whatever this process writes there the server may change.
        std::filesystem::path documents;
    };

    WebDavServer();
    explicit WebDavServer(Options options);
    ~WebDavServer();
    WebDavServer(const WebDavServer&) = delete;
    WebDavServer& operator=(const WebDavServer&) = delete;

    unsigned short port() const { return port_; }
    // "http://127.0.0.1" or "https://127.0.0.1" (the port apart).
    std::string origin() const;
    // The folder the server's "/" serves, written by the server's user.
    const std::filesystem::path& documents() const { return documents_; }
    const Options& options() const { return options_; }
    // Everything the server logged, for failure messages.
    std::string ErrorLog() const;

    // Serves `folder` as well, at the returned path ("/served-N"), through a
    // link in the documents: one server shared by many tests, each with its
    // own folder. The server's user must reach the folder's parents. nginx
    // only: throws std::logic_error for Apache.
    std::string Serve(const std::filesystem::path& folder);

    // Stops the server (the folder stays) and starts it again on the same port.
    void Stop();
    void Start();
    bool running() const { return pid_ > 0; }

    // "apache2" or "nginx", for messages and test names.
    static const char* Name(Kind kind);

    // Makes a self-signed certificate for `name` (an IP address or a host
    // name) with the openssl command: `dir`/NAME.pem and NAME.key.
    static void MakeCertificate(const std::filesystem::path& dir, const std::string& file,
                                const std::string& name);

private:
    void WriteConfig() const;
    void WriteApacheConfig(std::ostream& conf) const;
    void WriteNginxConfig(std::ostream& conf) const;
    bool Launch();  // false when the port was taken meanwhile

    Options options_;
    TempDir dir_;
    std::filesystem::path documents_;
    unsigned short port_ = 0;
    pid_t pid_ = -1;
    pid_t watchdog_ = -1;
    int watchdogPipe_ = -1;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    int served_ = 0;
};

}  // namespace zub::testsupport
