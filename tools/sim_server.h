#pragma once
// One simulated device: an HTTP server that answers the event export request.

#include <memory>
#include <string>

#include "tools/sim_options.h"
#include "tools/sim_recorder.h"

namespace ixan::sim {

// Lifecycle: construct, bind, start, stop (the destructor stops too). Not copyable.
class SimDevice {
  public:
    // `recorder` may be null; if set it must outlive the device.
    SimDevice(const SimOptions& options, int deviceIndex, RequestRecorder* recorder);
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // Binds and listens (connections queue from here on). False with a message on failure.
    bool bind(const ListenAddress& address, std::string& error);
    // The bound port (the actual one for port 0); 0 before bind.
    int port() const;

    // Serves on a thread of its own.
    void start();
    // Stops accepting, ends pending delays and stalls, and returns once every connection
    // has been closed. Safe to call more than once.
    void stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ixan::sim
