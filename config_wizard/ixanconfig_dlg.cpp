#include "config_wizard/ixanconfig_dlg.h"

#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "common/config.h"
#include "common/qt/dialog_units.h"
#include "config_wizard/config_writer.h"
#include "config_wizard/service_helper.h"

namespace ixan {

namespace {

constexpr int kDialogWidthDu = 320;
constexpr int kDialogHeightDu = 200;
constexpr int kDialogFontPoints = 8;

struct Placement {
    int left, top, width, height;
};

constexpr Placement kOkPlace{263, 177, 50, 16};
constexpr Placement kCancelPlace{7, 177, 50, 16};
constexpr Placement kLogGroupPlace{15, 17, 286, 27};
constexpr Placement kDeviceGroupPlace{17, 55, 284, 111};
constexpr Placement kListPlace{25, 89, 190, 70};
constexpr Placement kAddressPlace{25, 71, 191, 13};
constexpr Placement kAddPlace{226, 70, 63, 14};
constexpr Placement kBrowsePlace{267, 28, 22, 14};
constexpr Placement kDeletePlace{226, 91, 63, 14};
constexpr Placement kLogPathPlace{23, 29, 238, 12};

// The folder the file dialog starts in: the configured log path itself when it is a
// folder, otherwise the folder it lies in, if that exists.
QString logFolder(const QString& logPath) {
    if (logPath.isEmpty()) {
        return {};
    }
    const QFileInfo info(logPath);
    if (info.isDir()) {
        return info.absoluteFilePath();
    }
    const QDir parent = info.absoluteDir();
    return parent.exists() ? parent.absolutePath() : QString();
}

}  // namespace

CixanconfigDlg::CixanconfigDlg(WizardPrompts& prompts, ServiceManager& services, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      prompts_(prompts),
      services_(services) {
    setProperty("templateId", kTemplateId);
    setWindowTitle(QStringLiteral("IXAN Config"));
    QFont dialogFont = font();
    dialogFont.setPointSize(kDialogFontPoints);
    setFont(dialogFont);
    createControls();
    OnInitDialog();
}

void CixanconfigDlg::createControls() {
    const DialogBaseUnits base = dialogBaseUnits(font());
    auto place = [&](QWidget* w, const Placement& p, int id, const char* name) {
        w->setGeometry(mapDialogRect(QRect(p.left, p.top, p.width, p.height), base));
        w->setProperty(kControlIdProperty, id);
        w->setObjectName(QString::fromLatin1(name));
    };
    const QRect client = mapDialogRect(QRect(0, 0, kDialogWidthDu, kDialogHeightDu), base);
    setFixedSize(client.size());

    // Template order, which is also the tab order.
    auto* finish = new QPushButton(QStringLiteral("Fertigstellen"), this);
    place(finish, kOkPlace, kIdOk, "finishButton");
    auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    place(cancel, kCancelPlace, kIdCancel, "cancelButton");
    auto* logGroup = new QGroupBox(
        QString::fromUtf8("Bitte wählen Sie einen Speicherort für die Log-Datei"), this);
    place(logGroup, kLogGroupPlace, -1, "logGroup");
    auto* deviceGroup = new QGroupBox(QStringLiteral("Bitte tragen Sie die IXANs ein"), this);
    place(deviceGroup, kDeviceGroupPlace, -1, "deviceGroup");
    m_deviceList = new QListWidget(this);
    place(m_deviceList, kListPlace, kIdDeviceList, "m_deviceList");
    m_deviceList->setSortingEnabled(false);
    m_deviceList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_deviceList->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_addressEdit = new QLineEdit(this);
    place(m_addressEdit, kAddressPlace, kIdAddressEdit, "m_addressEdit");
    auto* add = new QPushButton(QString::fromUtf8("hinzufügen"), this);
    place(add, kAddPlace, kIdAddButton, "addButton");
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    place(browse, kBrowsePlace, kIdBrowseButton, "browseButton");
    auto* remove = new QPushButton(QString::fromUtf8("löschen"), this);
    place(remove, kDeletePlace, kIdDeleteButton, "deleteButton");
    m_logPathEdit = new QLineEdit(this);
    place(m_logPathEdit, kLogPathPlace, kIdLogPathEdit, "m_logPathEdit");
    m_logPathEdit->setReadOnly(true);

    // The frames lie under the controls they surround, so clicks reach the controls.
    deviceGroup->lower();
    logGroup->lower();

    add->setDefault(true);

    connect(finish, &QPushButton::clicked, this, &CixanconfigDlg::OnFinish);
    connect(cancel, &QPushButton::clicked, this, &CixanconfigDlg::OnCancelWizard);
    connect(add, &QPushButton::clicked, this, &CixanconfigDlg::OnAddAddress);
    connect(browse, &QPushButton::clicked, this, &CixanconfigDlg::OnBrowseLogFile);
    connect(remove, &QPushButton::clicked, this, &CixanconfigDlg::OnDeleteAddress);
}

void CixanconfigDlg::OnInitDialog() {
    const Config& cfg = processConfig();
    m_logPathEdit->setText(QString::fromStdString(cfg.global.log));
    for (const NodeEntry& node : cfg.nodes) {
        if (!node.host.empty()) {
            m_deviceList->addItem(QString::fromStdString(node.host));
        }
    }
}

QWidget* CixanconfigDlg::control(int id) const {
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QVariant v = w->property(kControlIdProperty);
        if (v.isValid() && v.toInt() == id) {
            return w;
        }
    }
    return nullptr;
}

std::vector<std::string> CixanconfigDlg::deviceEntries() const {
    std::vector<std::string> entries;
    for (int i = 0; i < m_deviceList->count(); ++i) {
        entries.push_back(m_deviceList->item(i)->text().toStdString());
    }
    return entries;
}

bool CixanconfigDlg::WriteConfiguration() {
    return ixan::WriteConfiguration(
        m_logPathEdit->text().toStdString(), deviceEntries(), [this](const std::string& text) {
            prompts_.showMessage(this, QString::fromLatin1(kWizardAppName),
                                 QString::fromStdString(text));
        });
}

void CixanconfigDlg::OnAddAddress() {
    const QString typed = m_addressEdit->text();
    m_addressEdit->clear();
    const std::string address = trimWhiteSpace(typed.toStdString());
    if (!address.empty()) {
        m_deviceList->addItem(QString::fromStdString(address));
    }
}

void CixanconfigDlg::OnDeleteAddress() {
    const QList<QListWidgetItem*> selected = m_deviceList->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    delete m_deviceList->takeItem(m_deviceList->row(selected.front()));
    m_deviceList->clearSelection();
    m_deviceList->setCurrentRow(-1);
}

void CixanconfigDlg::OnBrowseLogFile() {
    SaveFileRequest request;
    request.defaultSuffix = QStringLiteral("log");
    request.initialName = QStringLiteral("ixansys");
    request.filter = QStringLiteral("IXAN Log-Datei (*.log)");
    request.initialFolder = logFolder(QString::fromStdString(processConfig().global.log));
    request.confirmOverwrite = true;
    if (const auto chosen = prompts_.chooseSaveFile(this, request)) {
        m_logPathEdit->setText(*chosen);
    }
}

void CixanconfigDlg::OnCancelWizard() {
    if (prompts_.askOkCancel(this, QString::fromLatin1(kCancelCaption),
                             QString::fromUtf8(kCancelQuestion))) {
        QDialog::reject();
    }
}

void CixanconfigDlg::OnFinish() {
    const bool haveDevices = m_deviceList->count() > 0;
    if (!haveDevices && !prompts_.askOkCancel(this, QString::fromLatin1(kWizardAppName),
                                              QString::fromUtf8(kEmptyListQuestion))) {
        return;
    }
    if (!WriteConfiguration()) {
        return;
    }
    if (haveDevices) {
        restartService(services_);
    }
    QDialog::accept();
}

void CixanconfigDlg::reject() {
    OnCancelWizard();
}

}  // namespace ixan
