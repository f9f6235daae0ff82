#pragma once
// A device stand-in on 127.0.0.1: answers every HTTP request with 200 and an empty
// body (nothing to store) and notes when each request arrived.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "common/unique_fd.h"

namespace ixan::test {

class LoopbackListener {
  public:
    LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;
    ~LoopbackListener();

    std::uint16_t port() const { return port_; }
    std::vector<std::chrono::steady_clock::time_point> requests();
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout);

  private:
    void serve();
    void answer(int fd);

    UniqueFd listen_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::chrono::steady_clock::time_point> requests_;
    std::thread thread_;
};

}  // namespace ixan::test
