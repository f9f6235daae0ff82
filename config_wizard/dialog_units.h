#pragma once
// Dialog units: control positions relative to the dialog font, as in the templates the
// dialogs were designed with. One horizontal unit is a quarter of the font's average
// character width, one vertical unit an eighth of its height.

#include <QRect>

class QFont;

namespace ixan {

struct DialogBaseUnits {
    int x = 0;  // average character width in pixels
    int y = 0;  // character height in pixels
};

DialogBaseUnits dialogBaseUnits(const QFont& font);

// The pixel rectangle of a rectangle given in dialog units (left, top, width, height).
QRect dialogUnitsToPixels(const DialogBaseUnits& base, int left, int top, int width, int height);

}  // namespace ixan
