#include "export/app/export_app.h"

#include "common/config.h"
#include "common/registry.h"
#include "export/ui/export_dialog.h"
#include "export/ui/export_resources.h"
#include "export/ui/qt_dialog_services.h"
#include "export/ui/system_tray_area.h"

namespace ixan {

namespace {

// Stands in until the export run is wired in: every export fails to connect.
ExportRunner makeUnavailableRunner(CEVexportDlg& dialog) {
    return [&dialog](const std::string&, const QDate&, const QDate&) {
        dialog.showMessage(
            QString::fromUtf8("Beim Verbinden zur Datenbank ist ein Fehler aufgetreten."));
        return ExportOutcome{false};
    };
}

}  // namespace

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
    dialog.setExportRunner(makeUnavailableRunner(dialog));
    dialog.exec();
    return 0;
}

}  // namespace ixan
