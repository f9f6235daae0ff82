#pragma once
// Dialog 102, the main dialog of the export tool: two date pickers, Export and
// Minimieren. It starts in the notification area; the export itself is the injected
// runner, message boxes and the save dialog go through DialogServices.

#include <QDate>
#include <QIcon>
#include <QLocale>
#include <QString>

#include "export/ui/export_runner.h"
#include "export/ui/tray_dialog.h"

class QDateEdit;
class QMenu;
class QPushButton;

namespace ixan {

class CColorStatic;
class DialogServices;

// The locale's short date format with four-digit years: a two-digit year typed into
// the picker would be read as 19yy.
QString shortDateFormat(const QLocale& locale);

class CEVexportDlg : public CTrayDialog {
    Q_OBJECT
  public:
    // REQUIRES: tray and services outlive the dialog; neither is owned. The dialog
    // adds its tray icon here, so it starts hidden in the notification area (shown at
    // once when there is none).
    CEVexportDlg(TrayArea& tray, DialogServices& services, ExportRunner runner = {},
                 QWidget* parent = nullptr);

    // REQUIRES: a runner before the first Export click; without one an export writes
    // nothing and shows nothing.
    void setExportRunner(ExportRunner runner);

    // A message box owned by this dialog; for the runner's own messages.
    void showMessage(const QString& text);

    // The Export click: checks the range, asks for the target file, runs the export.
    // "Daten wurden Exportiert." and the way back to the tray follow only when the file
    // was written.
    void OnExport();
    // The Minimieren click: queues the minimise command.
    void OnMinimize();
    // The export run for the chosen file, with a busy cursor; reads the range of the
    // last Export click.
    ExportOutcome ExportEvents(const QString& path);

    void OnSysCommand(unsigned commandId) override;
    void OnCommand(int commandId) override;

    QDate startDate() const { return m_startDate; }
    QDate endDate() const { return m_endDate; }
    // The stand-in for the window menu (there is none on Linux): the dialog's context
    // menu with the About entry.
    QMenu* windowMenu() const { return m_windowMenu; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void OnInitDialog();

    DialogServices& m_services;
    ExportRunner m_runner;

    // The zero date until the first Export click.
    QDate m_startDate = QDate(1899, 12, 30);
    QDate m_endDate = QDate(1899, 12, 30);
    QIcon m_hIcon;

    QPushButton* m_exportButton = nullptr;
    QPushButton* m_minimizeButton = nullptr;
    QDateEdit* m_startPicker = nullptr;
    QDateEdit* m_endPicker = nullptr;
    CColorStatic* m_labelHint = nullptr;
    CColorStatic* m_labelFrom = nullptr;
    CColorStatic* m_labelTo = nullptr;
    QMenu* m_windowMenu = nullptr;
};

}  // namespace ixan
