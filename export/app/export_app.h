#pragma once
// The export tool's application object: loads the shared configuration and runs the
// main dialog until the operator ends it.

#include <QApplication>

namespace ixan {

class CEVexportApp : public QApplication {
    Q_OBJECT
  public:
    // REQUIRES: argc and argv outlive the application, as for QApplication.
    CEVexportApp(int& argc, char** argv);

    // Reads the settings store's "path", loads the configuration from it (a missing
    // file leaves the defaults and its log entry), then runs the main dialog modally
    // with the desktop's notification area. Returns the exit code once it has closed.
    int InitInstance();
};

}  // namespace ixan
