#pragma once
// A one-shot HTTP stand-in on 127.0.0.1 for tests: accepts connections on an
// ephemeral port, captures the raw request bytes and answers with scripted bytes.
// Every wait is bounded.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "common/unique_fd.h"

namespace ixan::test {

struct ServerScript {
    std::string response;  // sent once the request is complete; may be empty
    // After the response the connection stays open this long, or until the client
    // closes it (for stalls).
    std::chrono::milliseconds holdOpen{0};
};

class LoopbackServer {
  public:
    explicit LoopbackServer(ServerScript script);
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    ~LoopbackServer();

    std::uint16_t port() const { return port_; }
    // The bytes of the first request (empty when none came).
    std::string request() const;
    int connections() const { return connections_.load(); }

  private:
    void run();
    void serve(int fd);

    ServerScript script_;
    UniqueFd listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::string request_;
    std::thread thread_;
};

// A port on 127.0.0.1 on which nothing listens (bound, then released).
std::uint16_t unusedLoopbackPort();

// A listener whose accept queue is full, so a further connect gets no answer until
// its time-out. Holds the listener and the filler connection.
class FullBacklog {
  public:
    FullBacklog();
    std::uint16_t port() const { return port_; }

  private:
    UniqueFd listener_;
    UniqueFd filler_[4];
    std::uint16_t port_ = 0;
};

}  // namespace ixan::test
