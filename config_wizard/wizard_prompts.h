#pragma once
// The message boxes and the file dialog of the wizard, behind one interface so that
// tests can answer them.

#include <QString>
#include <optional>

class QWidget;

namespace ixan {

struct SaveFileRequest {
    QString defaultSuffix;
    QString initialName;
    QString filter;         // "Label (*.ext)"
    QString initialFolder;  // may be empty: the file dialog's own choice
    bool confirmOverwrite = true;
};

class WizardPrompts {
  public:
    virtual ~WizardPrompts() = default;
    // A message box with an OK button and no icon.
    virtual void showMessage(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A message box with OK and Cancel and no icon; true for OK.
    virtual bool askOkCancel(QWidget* parent, const QString& caption, const QString& text) = 0;
    // A Save As dialog; the full path of the chosen file, nullopt when cancelled.
    virtual std::optional<QString> chooseSaveFile(QWidget* parent,
                                                  const SaveFileRequest& request) = 0;
};

// QMessageBox and QFileDialog.
class QtWizardPrompts final : public WizardPrompts {
  public:
    void showMessage(QWidget* parent, const QString& caption, const QString& text) override;
    bool askOkCancel(QWidget* parent, const QString& caption, const QString& text) override;
    std::optional<QString> chooseSaveFile(QWidget* parent, const SaveFileRequest& request) override;
};

}  // namespace ixan
