#include "export/app/export_app.h"

#include "common/config.h"
#include "common/registry.h"
#include "export/dialog_export_runner.h"
#include "export/ui/export_dialog.h"
#include "export/ui/export_resources.h"
#include "export/ui/qt_dialog_services.h"
#include "export/ui/system_tray_area.h"

namespace ixan {

CEVexportApp::CEVexportApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromUtf8(kExportCaption));
    // The program ends when its dialog ends, not when its last window is hidden.
    setQuitOnLastWindowClosed(false);
}

int CEVexportApp::InitInstance() {
    const std::string path = readRegistryValue("path");
    loadConfig(processConfig(), path, ConfigReader::Export);

    SystemTrayArea tray;
    QtDialogServices services;
    CEVexportDlg dialog(tray, services);
    dialog.setExportRunner(exporttool::makeDialogExportRunner(dialog));
    dialog.exec();
    return 0;
}

}  // namespace ixan
