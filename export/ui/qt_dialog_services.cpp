#include "export/ui/qt_dialog_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

#include "export/ui/export_resources.h"

namespace ixan {

namespace {

// A busy cursor set around the export would sit over the message boxes the export
// shows: the arrow is back while the operator reads one.
class ArrowWhileBusy {
  public:
    ArrowWhileBusy() : m_busy(QApplication::overrideCursor() != nullptr) {
        if (m_busy) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        }
    }
    ~ArrowWhileBusy() {
        if (m_busy) {
            QApplication::restoreOverrideCursor();
        }
    }
    ArrowWhileBusy(const ArrowWhileBusy&) = delete;
    ArrowWhileBusy& operator=(const ArrowWhileBusy&) = delete;

  private:
    const bool m_busy;
};

}  // namespace

QString suffixOfNameFilter(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([^ ;)*]+)"));
    const QRegularExpressionMatch match = pattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

void QtDialogServices::showMessage(QWidget* owner, const QString& text) {
    const ArrowWhileBusy arrow;
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kExportCaption), text, QMessageBox::Ok,
                    owner);
    box.exec();
}

std::optional<QString> QtDialogServices::askSaveFileName(QWidget* owner,
                                                         const SaveFileRequest& request) {
    const ArrowWhileBusy arrow;
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.setNameFilters(request.nameFilters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (request.selectedFilter >= 0 && request.selectedFilter < request.nameFilters.size()) {
        dialog.selectNameFilter(request.nameFilters.at(request.selectedFilter));
    }
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &request](const QString& filter) {
                         const QString suffix = suffixOfNameFilter(filter);
                         dialog.setDefaultSuffix(suffix.isEmpty() ? request.defaultSuffix : suffix);
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

}  // namespace ixan
