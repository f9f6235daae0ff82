// ixan-config: the configuration wizard. Without arguments it opens its dialog; with
// arguments it runs headless and needs no display.

#include <iostream>
#include <string>
#include <vector>

#include "config_wizard/headless.h"
#include "config_wizard/ixanconfig_app.h"
#include "service/systemd_service_manager.h"

int main(int argc, char** argv) {
    ixan::SystemdServiceManager services;
    if (argc > 1) {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return ixan::runHeadless(args, services, std::cout, std::cerr);
    }
    ixan::CixanconfigApp app(argc, argv);
    ixan::QtWizardPrompts prompts;
    return app.InitInstance(prompts, services);
}
