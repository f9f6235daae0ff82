#include "export/ui/dialog_units.h"

#include <gtest/gtest.h>
#include <QFontMetrics>
#include <QLocale>

#include "export/ui/dialog_services.h"
#include "export/ui/export_dialog.h"
#include "export/ui/tests/test_printers.h"

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

TEST(ShortDateFormat, YearsAlwaysHaveFourDigits) {
    struct Case {
        QLocale locale;
        QString expected;
    };
    const Case cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("dd.MM.yyyy")},
        {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("M/d/yyyy")},
        {QLocale(QLocale::Swedish, QLocale::Sweden), QStringLiteral("yyyy-MM-dd")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shortDateFormat(c.locale), c.expected)
            << c.locale.name().toStdString() << " short format "
            << c.locale.dateFormat(QLocale::ShortFormat).toStdString();
    }
}

TEST(NameFilterSuffix, TakesTheFirstPattern) {
    struct Case {
        const char* filter;
        const char* suffix;
    };
    const Case cases[] = {
        {"Microsoft Excel-Datei (*.xls)", "xls"},
        {"Comma Separated Values(*.csv)", "csv"},
        {"Tabellen (*.xls *.xlsx)", "xls"},
        {"Alle Dateien (*)", ""},
        {"kein Muster", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(suffixOfNameFilter(QString::fromUtf8(c.filter)), QString::fromUtf8(c.suffix))
            << "filter " << c.filter;
    }
}

}  // namespace
}  // namespace ixan
