#include "polling/tests/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdlib>
#include <stdexcept>

namespace ixan::test {

namespace {

constexpr std::chrono::milliseconds kIoTimeout{5000};

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return addr;
}

UniqueFd boundSocket(int backlog, std::uint16_t& port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in addr = loopback(0);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        throw std::runtime_error("bind failed");
    }
    if (backlog >= 0 && ::listen(fd.get(), backlog) != 0) {
        throw std::runtime_error("listen failed");
    }
    socklen_t length = sizeof addr;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &length);
    port = ntohs(addr.sin_port);
    return fd;
}

bool waitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

// Head plus as many body bytes as Content-Length announces.
bool requestComplete(const std::string& data) {
    const std::size_t end = data.find("\r\n\r\n");
    if (end == std::string::npos) {
        return false;
    }
    std::size_t length = 0;
    const std::size_t header = data.find("\r\nContent-Length: ");
    if (header != std::string::npos && header < end) {
        length = std::strtoul(data.c_str() + header + 18, nullptr, 10);
    }
    return data.size() >= end + 4 + length;
}

}  // namespace

LoopbackServer::LoopbackServer(ServerScript script) : script_(std::move(script)) {
    listener_ = boundSocket(8, port_);
    thread_ = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    thread_.join();
}

std::string LoopbackServer::request() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return request_;
}

void LoopbackServer::run() {
    while (!stop_) {
        if (!waitReadable(listener_.get(), std::chrono::milliseconds(50))) {
            continue;
        }
        UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client) {
            continue;
        }
        ++connections_;
        serve(client.get());
    }
}

void LoopbackServer::serve(int fd) {
    std::string data;
    char buffer[4096];
    const auto deadline = std::chrono::steady_clock::now() + kIoTimeout;
    while (!requestComplete(data) && std::chrono::steady_clock::now() < deadline) {
        if (!waitReadable(fd, std::chrono::milliseconds(50))) {
            continue;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (request_.empty()) {
            request_ = data;
        }
    }
    std::size_t sent = 0;
    while (sent < script_.response.size()) {
        const ssize_t n = ::send(fd, script_.response.data() + sent, script_.response.size() - sent,
                                 MSG_NOSIGNAL);
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    const auto holdUntil = std::chrono::steady_clock::now() + script_.holdOpen;
    while (!stop_ && std::chrono::steady_clock::now() < holdUntil) {
        if (waitReadable(fd, std::chrono::milliseconds(50)) &&
            ::recv(fd, buffer, sizeof buffer, 0) <= 0) {
            break;  // the client gave up
        }
    }
}

std::uint16_t unusedLoopbackPort() {
    std::uint16_t port = 0;
    UniqueFd fd = boundSocket(-1, port);
    return port;
}

FullBacklog::FullBacklog() {
    listener_ = boundSocket(0, port_);
    // Fill the accept queue; once it is full the kernel drops further handshakes.
    for (UniqueFd& filler : filler_) {
        filler.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        sockaddr_in addr = loopback(port_);
        ::connect(filler.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
}

}  // namespace ixan::test
