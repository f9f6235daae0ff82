#pragma once
// The wizard application: loads the configuration and runs the wizard dialog.

#include <QApplication>

#include "config_wizard/wizard_prompts.h"
#include "service/service_manager.h"

namespace ixan {

// Loads the configuration file named by the settings store value "path" into
// processConfig(); a missing file is reported with a message box captioned
// "ixan-config", and the wizard then starts from the loader's defaults.
void loadStartupConfiguration(WizardPrompts& prompts);

class CixanconfigApp : public QApplication {
    Q_OBJECT

  public:
    // argc must outlive the application, as for QApplication.
    CixanconfigApp(int& argc, char** argv);

    // Loads the configuration, runs the wizard dialog modally and returns the exit code
    // once it has closed (0: the dialog's result is not used).
    int InitInstance(WizardPrompts& prompts, ServiceManager& services);
};

}  // namespace ixan
