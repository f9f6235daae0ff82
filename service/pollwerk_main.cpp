#include <iostream>

#include "polling/poll_cycle.h"
#include "service/commands.h"
#include "service/service_install.h"
#include "service/service_runtime.h"
#include "service/systemd_host.h"
#include "service/systemd_service_manager.h"

int main(int argc, char** argv) {
    ixan::SystemdServiceHost host;
    ixan::PollwerkActions actions;
    actions.installService = [] {
        ixan::SystemdServiceManager manager;
        return ixan::installService(manager, std::cin, std::cout);
    };
    actions.uninstallService = [] {
        ixan::SystemdServiceManager manager;
        return ixan::uninstallService(manager, std::cin, std::cout);
    };
    const std::function<void()> pollCycle = [] { ixan::runPollCycle(); };
    actions.runPollCycle = pollCycle;
    actions.serviceMain = [&host, &pollCycle](const std::vector<std::string>& args) {
        ixan::ServiceRuntime runtime;
        runtime.host = &host;
        runtime.runPollCycle = pollCycle;
        ixan::serviceMain(args, runtime);
    };
    actions.startDispatcher = [&host](const ixan::ServiceTable& table) {
        return host.dispatch(table);
    };
    return ixan::pollwerkMain(argc, argv, actions);
}
