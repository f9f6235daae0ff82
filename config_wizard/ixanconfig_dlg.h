#pragma once
// The wizard's dialog (template 102): the log file location and the list of devices.

#include <QDialog>
#include <vector>

#include "config_wizard/wizard_prompts.h"
#include "service/service_manager.h"

class QLineEdit;
class QListWidget;
class QPushButton;

namespace ixan {

// The application's name, the caption of its message boxes.
inline constexpr const char* kWizardAppName = "ixan-config";

inline constexpr const char* kCancelQuestion =
    "Wenn Sie abbrechen wird die Konfiguration nicht geschrieben.\nWollen Sie wirklich abbrechen?";
inline constexpr const char* kCancelCaption = "Abbrechen?";
inline constexpr const char* kEmptyListQuestion =
    "Sie haben noch keine IXAN angelegt\n Wollen Sie wirklich beenden?";

// Every control carries its id in the property "controlId".
inline constexpr const char* kControlIdProperty = "controlId";

class CixanconfigDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTemplateId = 102;
    enum ControlId : int {
        kIdOk = 1,  // "Fertigstellen"
        kIdCancel = 2,
        kIdDeviceList = 1000,
        kIdAddressEdit = 1001,
        kIdAddButton = 1002,
        kIdBrowseButton = 1003,
        kIdDeleteButton = 1004,
        kIdLogPathEdit = 1005,
    };

    // Both references are borrowed and must outlive the dialog. The dialog is filled
    // from processConfig().
    CixanconfigDlg(WizardPrompts& prompts, ServiceManager& services, QWidget* parent = nullptr);

    // The control with the given id, nullptr for an unknown id.
    QWidget* control(int id) const;

    // The texts of the list, in list order.
    std::vector<std::string> deviceEntries() const;

    // Writes the configuration file from the log path field and the list; the writer's
    // messages appear as message boxes. Returns whether the file was written.
    bool WriteConfiguration();

    void OnAddAddress();
    void OnDeleteAddress();
    void OnBrowseLogFile();
    // Asks the cancel question; OK closes the dialog as cancelled.
    void OnCancelWizard();
    // Writes the file and, when the list is not empty, restarts the service, then
    // closes the dialog as confirmed. A failed write keeps the dialog open.
    void OnFinish();

    // Escape and the close box ask the cancel question like the "Abbrechen" button.
    void reject() override;

  private:
    void createControls();
    void OnInitDialog();

    WizardPrompts& prompts_;
    ServiceManager& services_;
    QLineEdit* m_addressEdit = nullptr;
    QListWidget* m_deviceList = nullptr;
    QLineEdit* m_logPathEdit = nullptr;
};

}  // namespace ixan
