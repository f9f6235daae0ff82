#include "export/ui/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "export/ui/dialog_layout.h"
#include "export/ui/export_resources.h"

namespace ixan {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setFont(dialogFont());
    const DialogBaseUnits units = dialogBaseUnits(font());
    setWindowTitle(QString::fromUtf8(kAboutTitle));
    setFixedSize(dialogPixelSize(kAboutDialogSize, units));

    auto* text = new QLabel(QString::fromUtf8(kAboutText), this);
    placeControl(*text, kIdAboutText, kRectAboutText, units);

    auto* ok = new QPushButton(QString::fromUtf8(kAboutOkText), this);
    placeControl(*ok, kIdAboutOk, kRectAboutOk, units);
    ok->setDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace ixan
