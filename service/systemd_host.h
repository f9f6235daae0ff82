#pragma once
// The service host under systemd: the dispatcher that runs serviceMain, the stop
// signals, and status reports through sd_notify.

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "service/commands.h"
#include "service/service_manager.h"

namespace ixan {

// The notify message for a state: running "READY=1", stop pending "STOPPING=1".
std::string notifyMessage(ServiceState state);

class SystemdServiceHost final : public ServiceHost {
  public:
    SystemdServiceHost() = default;
    SystemdServiceHost(const SystemdServiceHost&) = delete;
    SystemdServiceHost& operator=(const SystemdServiceHost&) = delete;

    // Refuses (false) unless systemd started the process (NOTIFY_SOCKET set) and the
    // table has a serviceMain. Otherwise runs table.serviceMain({"IXAN"}) on a thread of
    // its own, turns every SIGTERM and SIGINT into the stop control, delivered to the
    // handler on the calling thread, and returns true once serviceMain has returned.
    // SIGTERM and SIGINT are blocked in every thread from here on and stay blocked
    // after the return, so a late signal cannot end the process on its way out. Call it
    // from the main thread before any other thread exists, at most once.
    bool dispatch(const ServiceTable& table);

    std::uintptr_t registerHandler(const std::string& serviceName,
                                   ServiceControlHandler handler) override;
    // Sends the state's notify message; false when sd_notify fails or finds no socket.
    bool setStatus(std::uintptr_t statusHandle, const ServiceStatus& status) override;

  private:
    void deliverPending();
    void wakeDispatcher();

    // Guards every field; held while the handler runs, which may report from inside.
    std::recursive_mutex mutex_;
    ServiceControlHandler handler_;
    bool accepting_ = false;
    bool stopped_ = false;
    std::deque<ServiceControl> pending_;
    int wakeFd_ = -1;
};

}  // namespace ixan
