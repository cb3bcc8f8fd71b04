#include "zubtest/httpresponder.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace zub::testsupport {

namespace {

void SendAll(int fd, const std::string& data) {
    for (std::size_t done = 0; done < data.size();) {
        const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

std::string Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 207:
            return "Multi-Status";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 423:
            return "Locked";
        case 500:
            return "Internal Server Error";
        case 507:
            return "Insufficient Storage";
        default:
            return "Status";
    }
}

}  // namespace

HttpResponder::HttpResponder(Rule rule) : rule_(std::move(rule)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0) throw std::system_error(errno, std::generic_category(), "socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listen_, 8) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(listen_);
        throw std::system_error(error, std::generic_category(), "listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

HttpResponder::~HttpResponder() {
    stop_ = true;
    (void)!::write(wake_[1], "x", 1);
    thread_.join();
    ::close(listen_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

std::vector<std::string> HttpResponder::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void HttpResponder::Serve() {
    while (!stop_) {
        pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) continue;
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        Handle(fd);
        ::close(fd);
    }
}

void HttpResponder::Handle(int fd) {
    std::string buffer;
    char chunk[65536];
    // Reads until `want` is true; false when the peer closed or we stop.
    auto fill = [&](auto want) {
        while (!want()) {
            pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (::poll(fds, 2, 5000) <= 0 || (fds[1].revents & POLLIN) != 0) return false;
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
        return true;
    };
    while (!stop_) {
        if (!fill([&] { return buffer.find("\r\n\r\n") != std::string::npos; })) return;
        const std::size_t end = buffer.find("\r\n\r\n") + 4;
        const std::string head = buffer.substr(0, end);
        buffer.erase(0, end);
        const std::size_t space = head.find(' ');
        const std::string method = head.substr(0, space);
        const std::string path = head.substr(space + 1, head.find(' ', space + 1) - space - 1);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(method + " " + path);
        }
        std::size_t length = 0;
        for (const char* name : {"\r\nContent-Length: ", "\r\ncontent-length: "})
            if (const std::size_t at = head.find(name); at != std::string::npos)
                length = std::stoul(head.substr(at + std::string(name).size()));
        const Answer answer = rule_(method, path);
        if (answer.drop) return;
        const bool expects = head.find("100-continue") != std::string::npos;
        if (!expects || answer.status < 300) {
            if (expects) SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n");
            if (!fill([&] { return buffer.size() >= length; })) return;
            buffer.erase(0, length);
        }
        SendAll(fd, "HTTP/1.1 " + std::to_string(answer.status) + " " + Reason(answer.status) +
                        "\r\n" + answer.headers +
                        "Content-Length: " + std::to_string(answer.body.size() + answer.missing) +
                        "\r\n\r\n" + answer.body);
        if (answer.stall.count() > 0) {
            pollfd wake{wake_[0], POLLIN, 0};
            ::poll(&wake, 1, static_cast<int>(answer.stall.count()));
            return;
        }
        if (expects && answer.status >= 300) return;
    }
}

}  // namespace zub::testsupport
