#include "export/ui/export_dialog.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <exception>

#include "export/ui/about_dialog.h"
#include "export/ui/color_static.h"
#include "export/ui/dialog_layout.h"
#include "export/ui/dialog_services.h"
#include "export/ui/export_resources.h"

namespace ixan {

namespace {

class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QDateEdit* makeDatePicker(QWidget* parent) {
    auto* picker = new QDateEdit(QDate::currentDate(), parent);
    picker->setDisplayFormat(shortDateFormat(QLocale()));
    picker->setCalendarPopup(true);
    return picker;
}

}  // namespace

QString shortDateFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) {
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    return format;
}

CEVexportDlg::CEVexportDlg(TrayArea& tray, DialogServices& services, ExportRunner runner,
                           QWidget* parent)
    : CTrayDialog(tray, parent), m_services(services), m_runner(std::move(runner)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_hIcon = exportIcon();
    LoadTrayIcon(m_hIcon);
    LoadTrayMenu(makeTrayMenu());
    OnInitDialog();
}

void CEVexportDlg::OnInitDialog() {
    setFont(dialogFont());
    const DialogBaseUnits units = dialogBaseUnits(font());
    setWindowTitle(QString::fromUtf8(kMainDialogTitle));
    setFixedSize(dialogPixelSize(kMainDialogSize, units));

    // Template order, which is also the order the controls take the focus in.
    m_exportButton = new QPushButton(QString::fromUtf8(kExportButtonText), this);
    placeControl(*m_exportButton, kIdExport, kRectExport, units);
    m_exportButton->setDefault(true);
    connect(m_exportButton, &QPushButton::clicked, this, [this] { OnCommand(kIdExport); });

    m_minimizeButton = new QPushButton(QString::fromUtf8(kMinimizeButtonText), this);
    placeControl(*m_minimizeButton, kIdMinimize, kRectMinimize, units);
    connect(m_minimizeButton, &QPushButton::clicked, this, [this] { OnCommand(kIdMinimize); });

    // A bitmap control takes the size of its bitmap.
    auto* logo = new QLabel(this);
    logo->setPixmap(exportLogo());
    placeControl(*logo, kIdLogo, kRectLogo, units);
    if (!logo->pixmap().isNull()) {
        logo->resize(logo->pixmap().size());
    }

    m_labelHint = new CColorStatic(QString::fromUtf8(kHintText), this);
    placeControl(*m_labelHint, kIdLabelHint, kRectHint, units);

    m_startPicker = makeDatePicker(this);
    placeControl(*m_startPicker, kIdStartDate, kRectStartDate, units);
    m_endPicker = makeDatePicker(this);
    placeControl(*m_endPicker, kIdEndDate, kRectEndDate, units);

    m_labelFrom = new CColorStatic(QString::fromUtf8(kFromText), this);
    placeControl(*m_labelFrom, kIdLabelFrom, kRectFrom, units);
    m_labelTo = new CColorStatic(QString::fromUtf8(kToText), this);
    placeControl(*m_labelTo, kIdLabelTo, kRectTo, units);

    for (QLabel* label : {static_cast<QLabel*>(m_labelHint), static_cast<QLabel*>(m_labelFrom),
                          static_cast<QLabel*>(m_labelTo), logo}) {
        label->setFocusPolicy(Qt::NoFocus);
    }
    setTabOrder(m_exportButton, m_minimizeButton);
    setTabOrder(m_minimizeButton, m_startPicker);
    setTabOrder(m_startPicker, m_endPicker);

    const QString aboutText = QString::fromUtf8(kAboutMenuText);
    m_windowMenu = new QMenu(this);
    if (!aboutText.isEmpty()) {
        QAction* about = m_windowMenu->addAction(aboutText);
        about->setData(kIdmAboutBox);
        connect(about, &QAction::triggered, this, [this] { OnSysCommand(kIdmAboutBox); });
    }

    setWindowIcon(m_hIcon);
    StartInTray();

    m_labelHint->SetBackgroundColor(kDialogBackground);
    m_labelFrom->SetBackgroundColor(kDialogBackground);
    m_labelTo->SetBackgroundColor(kDialogBackground);

    m_exportButton->setFocus();
}

void CEVexportDlg::setExportRunner(ExportRunner runner) {
    m_runner = std::move(runner);
}

void CEVexportDlg::showMessage(const QString& text) {
    m_services.showMessage(this, text);
}

void CEVexportDlg::OnCommand(int commandId) {
    if (commandId == kIdExport) {
        OnExport();
    } else if (commandId == kIdMinimize) {
        OnMinimize();
    } else {
        CTrayDialog::OnCommand(commandId);
    }
}

void CEVexportDlg::OnSysCommand(unsigned commandId) {
    if ((commandId & kSysCommandMask) == kIdmAboutBox) {
        CAboutDlg about(this);
        about.exec();
        return;
    }
    CTrayDialog::OnSysCommand(commandId);
}

void CEVexportDlg::OnMinimize() {
    PostSysCommand(kScMinimize);
}

void CEVexportDlg::OnExport() {
    m_startDate = m_startPicker->date();
    m_endDate = m_endPicker->date();
    if (m_startDate.isValid() && m_endDate.isValid() && m_startDate > m_endDate) {
        // An export of a range that ends before it starts would write no events.
        showMessage(QString::fromUtf8(kMsgStartAfterEnd));
        return;
    }
    const std::optional<QString> path = m_services.askSaveFileName(this, exportSaveRequest());
    if (!path || path->isEmpty()) {
        showMessage(QString::fromUtf8(kMsgNoFileName));
        return;
    }
    if (!ExportEvents(*path).written) {
        // The runner has said why; the window stays open for another try.
        return;
    }
    showMessage(QString::fromUtf8(kMsgExported));
    PostSysCommand(kScMinimize);
}

ExportOutcome CEVexportDlg::ExportEvents(const QString& path) {
    if (!m_runner) {
        return ExportOutcome{};
    }
    const BusyCursor busy;
    try {
        return m_runner(QFile::encodeName(path).toStdString(), m_startDate, m_endDate);
    } catch (const std::exception& error) {
        showMessage(QString::fromLocal8Bit(error.what()));
    }
    return ExportOutcome{};
}

void CEVexportDlg::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), kDialogBackground);
    CTrayDialog::paintEvent(event);
}

void CEVexportDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_windowMenu->isEmpty()) {
        m_windowMenu->exec(event->globalPos());
    }
}

}  // namespace ixan
