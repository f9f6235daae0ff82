#pragma once
// Placing controls from dialog-unit rectangles.

#include <QRect>
#include <QSize>

#include "common/qt/dialog_units.h"

class QWidget;

namespace ixan {

// Gives the control its id (property "ctrlId" and objectName) and its place.
void placeControl(QWidget& control, int ctrlId, const QRect& dialogUnits,
                  const DialogBaseUnits& units);

// The dialog's fixed client size for a template size in dialog units.
QSize dialogPixelSize(const QSize& dialogUnits, const DialogBaseUnits& units);

}  // namespace ixan
