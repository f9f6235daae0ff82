#pragma once
// The real message boxes (QMessageBox) and save dialog (QFileDialog).

#include "export/ui/dialog_services.h"

namespace ixan {

class QtDialogServices final : public DialogServices {
  public:
    void showMessage(QWidget* owner, const QString& text) override;
    // The default suffix follows the filter the operator selects, so that a name typed
    // with the CSV filter selected becomes a .csv file.
    std::optional<QString> askSaveFileName(QWidget* owner, const SaveFileRequest& request) override;
};

}  // namespace ixan
