#include <gtest/gtest.h>
#include <QLocale>

#include "export/ui/dialog_services.h"
#include "export/ui/export_dialog.h"
#include "export/ui/tests/test_printers.h"

namespace ixan {
namespace {

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
