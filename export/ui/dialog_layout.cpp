#include "export/ui/dialog_layout.h"

#include <QWidget>

#include "export/ui/export_resources.h"

namespace ixan {

void placeControl(QWidget& control, int ctrlId, const QRect& dialogUnits,
                  const DialogBaseUnits& units) {
    control.setProperty(kCtrlIdProperty, ctrlId);
    control.setObjectName(QString::number(ctrlId));
    control.setGeometry(mapDialogRect(dialogUnits, units));
}

QSize dialogPixelSize(const QSize& dialogUnits, const DialogBaseUnits& units) {
    return mapDialogRect(QRect(QPoint(0, 0), dialogUnits), units).size();
}

}  // namespace ixan
