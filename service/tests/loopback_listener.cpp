#include "service/tests/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace ixan::test {

LoopbackListener::LoopbackListener() {
    listen_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (!listen_ || ::bind(listen_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_.get(), 16) != 0 ||
        ::getsockname(listen_.get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackListener::~LoopbackListener() {
    stop_ = true;
    thread_.join();
}

std::vector<std::chrono::steady_clock::time_point> LoopbackListener::requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool LoopbackListener::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (requests().size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return requests().size() >= count;
}

void LoopbackListener::serve() {
    while (!stop_) {
        pollfd p{listen_.get(), POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        UniqueFd conn(::accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (conn) {
            answer(conn.get());
        }
    }
}

void LoopbackListener::answer(int fd) {
    std::string request;
    std::size_t needed = std::string::npos;
    char buf[4096];
    while (request.size() < needed) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) {
            return;
        }
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            return;
        }
        request.append(buf, static_cast<std::size_t>(n));
        const auto end = request.find("\r\n\r\n");
        if (needed == std::string::npos && end != std::string::npos) {
            std::size_t body = 0;
            const auto cl = request.find("Content-Length:");
            if (cl != std::string::npos && cl < end) {
                body = std::strtoul(request.c_str() + cl + 15, nullptr, 10);
            }
            needed = end + 4 + body;
        }
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::chrono::steady_clock::now());
    }
    const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    [[maybe_unused]] const ssize_t sent = ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
}

}  // namespace ixan::test
