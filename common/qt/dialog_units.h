#pragma once
// Dialog units: the coordinate system of the dialog templates. A horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its
// height, so a layout keeps its proportions with whatever font the dialog uses.

#include <QFont>
#include <QRect>

namespace ixan {

struct DialogBaseUnits {
    int charWidth = 0;   // average width of the Latin letters, in pixels
    int charHeight = 0;  // line height of the font, in pixels
};

// The base units of a font, measured as the Windows dialog manager measures them: the
// width of "A".."Z" "a".."z" halved per letter and rounded, and the font's full height.
DialogBaseUnits dialogBaseUnits(const QFont& font);

// A rectangle in dialog units (x, y, width, height) in pixels. Edges are converted
// one by one and rounded, so neighbouring controls stay neighbours.
QRect mapDialogRect(const QRect& dialogUnits, const DialogBaseUnits& units);

// The font of the dialogs. The templates ask for "MS Shell Dlg" at 8 points, which
// Linux does not have: the application's font family at 8 points stands in.
QFont dialogFont();

}  // namespace ixan
