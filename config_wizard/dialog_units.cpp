#include "config_wizard/dialog_units.h"

#include <QFont>
#include <QFontMetrics>

namespace ixan {

namespace {

// n * numerator / denominator, rounded to the nearest integer.
int scale(int n, int numerator, int denominator) {
    const long long product = static_cast<long long>(n) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

DialogBaseUnits dialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogBaseUnits base;
    base.x = (alphabet / 26 + 1) / 2;
    base.y = metrics.height();
    return base;
}

QRect dialogUnitsToPixels(const DialogBaseUnits& base, int left, int top, int width, int height) {
    const int x0 = scale(left, base.x, 4);
    const int y0 = scale(top, base.y, 8);
    const int x1 = scale(left + width, base.x, 4);
    const int y1 = scale(top + height, base.y, 8);
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

}  // namespace ixan
