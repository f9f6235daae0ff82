#include "common/qt/dialog_units.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFontMetrics>
#include <ostream>

inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << "QRect(" << rect.x() << ',' << rect.y() << ' ' << rect.width() << 'x' << rect.height()
         << ')';
}

namespace ixan {
namespace {

TEST(DialogUnits, MapsEdgesWithRounding) {
    struct Case {
        DialogBaseUnits units;
        QRect dialogUnits;
        QRect pixels;
    };
    const Case cases[] = {
        // 6 x 13: the base units of an 8-point dialog font at 96 dpi.
        {{6, 13}, QRect(188, 102, 50, 16), QRect(282, 166, 75, 26)},
        {{6, 13}, QRect(11, 102, 50, 16), QRect(17, 166, 75, 26)},  // 16.5 rounds up
        {{6, 13}, QRect(140, 8, 99, 19), QRect(210, 13, 149, 31)},
        {{6, 13}, QRect(13, 61, 14, 8), QRect(20, 99, 21, 13)},
        {{6, 13}, QRect(0, 0, 250, 124), QRect(0, 0, 375, 202)},
        // Other fonts scale the same template.
        {{7, 16}, QRect(188, 102, 50, 16), QRect(329, 204, 88, 32)},
        {{8, 16}, QRect(0, 0, 250, 124), QRect(0, 0, 500, 248)},
        {{6, 13}, QRect(0, 0, 0, 0), QRect(0, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mapDialogRect(c.dialogUnits, c.units), c.pixels)
            << "base " << c.units.charWidth << "x" << c.units.charHeight << ", dialog units "
            << ::testing::PrintToString(c.dialogUnits);
    }
}

TEST(DialogUnits, BaseUnitsComeFromTheFont) {
    const QFont font = dialogFont();
    EXPECT_EQ(font.pointSize(), 8);
    const DialogBaseUnits units = dialogBaseUnits(font);
    const QFontMetrics metrics(font);
    EXPECT_EQ(units.charHeight, metrics.height());
    EXPECT_GE(units.charWidth, 3);
    EXPECT_LE(units.charWidth, metrics.horizontalAdvance(QLatin1Char('W')));
}

}  // namespace
}  // namespace ixan

// The fonts need an application; offscreen, so that no test needs a desktop.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
