// A tiny HTTP/1.1 server on 127.0.0.1 (a free port) that answers every
// request as a test's rule says: any status, a stall in the middle of a
// body, a dropped connection. For the failures a real server seldom shows
// on demand. One connection at a time, on its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zub::testsupport {

class HttpResponder {
public:
    struct Answer {
        int status = 200;
        std::string headers;  // extra lines, each ending in "\r\n"
        std::string body;
        // Sends the headers (announcing `body` plus `missing` bytes) and the
        // body, then waits this long before closing.
        std::chrono::milliseconds stall{0};
        std::size_t missing = 0;
        bool drop = false;  // closes the connection without an answer
    };
    using Rule = std::function<Answer(const std::string& method, const std::string& path)>;

    explicit HttpResponder(Rule rule);
    ~HttpResponder();
    HttpResponder(const HttpResponder&) = delete;
    HttpResponder& operator=(const HttpResponder&) = delete;

    unsigned short port() const { return port_; }
    // Requests seen so far, "METHOD PATH" each, in order.
    std::vector<std::string> requests() const;

private:
    void Serve();
    void Handle(int fd);

    Rule rule_;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace zub::testsupport
