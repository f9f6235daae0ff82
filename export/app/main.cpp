// ixan-export: without arguments the tray dialog, with arguments the command line.

#include "export/app/export_app.h"
#include "export/headless.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        // Headless: no QApplication, so no display is needed.
        return ixan::exporttool::runHeadlessExport(argc, argv);
    }
    ixan::CEVexportApp app(argc, argv);
    return app.InitInstance();
}
