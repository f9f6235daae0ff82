#pragma once
// The resources of the export tool: ids, texts, colours, the dialog templates in
// dialog units, the icon, the logo picture and the tray menu.

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QStringList>
#include <memory>

class QMenu;

namespace ixan {

// Application name, and the caption of every message box.
inline constexpr const char* kExportCaption = "IXAN-Export";

// Control ids of dialog 102 (the main dialog) and dialog 100 (the About box).
inline constexpr int kIdExport = 1;
inline constexpr int kIdAboutOk = 1;
inline constexpr int kIdLogo = 1001;
inline constexpr int kIdStartDate = 1002;
inline constexpr int kIdEndDate = 1003;
inline constexpr int kIdMinimize = 1004;
inline constexpr int kIdLabelHint = 1005;
inline constexpr int kIdLabelFrom = 1006;
inline constexpr int kIdLabelTo = 1007;
inline constexpr int kIdAboutText = -1;  // a static text without an id of its own

// The About entry of the window menu (system command 16).
inline constexpr unsigned kIdmAboutBox = 0x0010;

// The property under which every control of the two dialogs carries its id; the
// objectName holds the same number as text.
inline constexpr const char* kCtrlIdProperty = "ctrlId";

inline constexpr const char* kMainDialogTitle = "IXAN 400 - Export Ereignis Protokoll 1.0";
inline constexpr const char* kAboutTitle = "Info überIXAN-Export";
inline constexpr const char* kAboutText = "IXAN-Export";
inline constexpr const char* kAboutOkText = "OK";
inline constexpr const char* kExportButtonText = "&Export";
inline constexpr const char* kMinimizeButtonText = "&Minimieren";
inline constexpr const char* kHintText =
    "Zum Export der Daten wählen Sie bitte den gewünschten Zeitraum.";
inline constexpr const char* kFromText = "Von:";
inline constexpr const char* kToText = "Bis:";
inline constexpr const char* kAboutMenuText = "&Info über EV-export...";  // string 101
inline constexpr const char* kTrayMenuTitle = "TrayMenu";
inline constexpr const char* kTrayMenuQuitText = "&Beenden";

inline constexpr const char* kMsgStartAfterEnd =
    "Das Startdatum darf nicht nach dem Enddatum liegen.";
inline constexpr const char* kMsgExported = "Daten wurden Exportiert.";
inline constexpr const char* kMsgNoFileName =
    "Zum exportieren muss ein Dateiname angegeben werden.";

inline constexpr const char* kExcelFilter = "Microsoft Excel-Datei (*.xls)";
inline constexpr const char* kCsvFilter = "Comma Separated Values(*.csv)";
inline constexpr const char* kDefaultSuffix = "xls";

// Dialog background and the three labels of the main dialog.
inline const QColor kDialogBackground = QColor(235, 233, 237);

// Sizes of the dialog templates, in dialog units.
inline constexpr QSize kMainDialogSize = QSize(250, 124);
inline constexpr QSize kAboutDialogSize = QSize(235, 55);

// Positions of the controls, in dialog units.
inline constexpr QRect kRectExport = QRect(188, 102, 50, 16);
inline constexpr QRect kRectMinimize = QRect(11, 102, 50, 16);
inline constexpr QRect kRectLogo = QRect(140, 8, 99, 19);
inline constexpr QRect kRectHint = QRect(13, 41, 215, 8);
inline constexpr QRect kRectStartDate = QRect(12, 72, 100, 15);
inline constexpr QRect kRectEndDate = QRect(138, 72, 100, 15);
inline constexpr QRect kRectFrom = QRect(13, 61, 14, 8);
inline constexpr QRect kRectTo = QRect(138, 60, 11, 8);
inline constexpr QRect kRectAboutText = QRect(11, 11, 150, 8);
inline constexpr QRect kRectAboutOk = QRect(178, 7, 50, 16);

// Icon 161 in its sizes (window icon and notification icon); null when the resource
// is missing.
QIcon exportIcon();

// Bitmap 1001, the logo picture of 148 by 31 pixels; null when missing.
QPixmap exportLogo();

// Menu 129: one popup "TrayMenu" with the single item "&Beenden", command kIdCancel.
std::unique_ptr<QMenu> makeTrayMenu();

// The save dialog of the Export click.
struct SaveFileRequest;
SaveFileRequest exportSaveRequest();

// A QIcon from the image files that load; null when none does.
QIcon loadIconGroup(const QStringList& files);

}  // namespace ixan
