#include "common/qt/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>

namespace ixan {

namespace {

// MulDiv with rounding half away from zero, as the dialog manager converts.
int scaleRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

DialogBaseUnits dialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QRect mapDialogRect(const QRect& dialogUnits, const DialogBaseUnits& units) {
    const int left = scaleRounded(dialogUnits.x(), units.charWidth, 4);
    const int top = scaleRounded(dialogUnits.y(), units.charHeight, 8);
    const int right = scaleRounded(dialogUnits.x() + dialogUnits.width(), units.charWidth, 4);
    const int bottom = scaleRounded(dialogUnits.y() + dialogUnits.height(), units.charHeight, 8);
    return QRect(left, top, right - left, bottom - top);
}

QFont dialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(8);
    return font;
}

}  // namespace ixan
