#include "config_wizard/wizard_prompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace ixan {

void QtWizardPrompts::showMessage(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtWizardPrompts::askOkCancel(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> QtWizardPrompts::chooseSaveFile(QWidget* parent,
                                                       const SaveFileRequest& request) {
    QFileDialog dialog(parent, QString(), request.initialFolder, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen.front();
}

}  // namespace ixan
