// One connection to a WebDAV server: a libcurl easy handle that every request
// reuses, so keep-alive spares a connect (and a TLS handshake) per request.
// Not thread-safe: its backend serialises the calls.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace NFS {

class Sha256;

class DavClient {
public:
    struct Options {
        long connectSeconds = 10;
        // A transfer that moves no byte for this long fails.
        long stallSeconds = 30;
        // Further attempts of an idempotent request whose connection dropped.
        int retries = 2;
        long retryPauseMs = 200;
        std::string caFile;  // trusted instead of the system's certificates
    };
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

    struct Request {
        const char* method = "GET";
        std::string path;    // encoded URL path
        std::wstring shown;  // the server path, for error texts
        std::vector<std::string> headers;
        std::string body;  // sent when `sendBody` (XML of PROPFIND, PROPPATCH)
        bool sendBody = false;
        int uploadFd = -1;  // the file a PUT sends, from its start
        std::uint64_t uploadSize = 0;
        int downloadFd = -1;   // a 2xx answer's body goes here...
        bool discard = false;  // ...or only through `hash`
        Sha256* hash = nullptr;
        Progress progress;  // bytes of this request's file moved
        bool idempotent = true;

        std::string answer;        // the body when not written to a file (bounded)
        std::uint64_t moved = 0;   // bytes of the file sent or received
        std::int64_t length = -1;  // the answer's Content-Length
    };

    DavClient(std::string origin, Options options);
    ~DavClient();
    DavClient(const DavClient&) = delete;
    DavClient& operator=(const DavClient&) = delete;

    void Login(const std::string& user, const std::string& password);
    const std::string& origin() const { return origin_; }
    // Requests sent so far (attempts included), for measurements.
    std::uint64_t requests() const { return requests_; }
    // The same by method ("PUT", "PROPFIND", ...).
    const std::map<std::string, std::uint64_t>& requestsByMethod() const { return byMethod_; }
    // Request body bytes sent so far (files and XML), for measurements.
    std::uint64_t sent() const { return sent_; }

    // The HTTP status. Throws NfsError when no answer came (connection,
    // timeout, certificate), and rethrows what a progress callback threw.
    long Send(Request& request);

private:
    struct Transfer;
    std::string origin_;
    Options options_;
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::uint64_t requests_ = 0;
    std::map<std::string, std::uint64_t> byMethod_;
    std::uint64_t sent_ = 0;
};

}  // namespace NFS
