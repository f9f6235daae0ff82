#include "export/ui/export_dialog.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/qt/dialog_units.h"
#include "export/ui/about_dialog.h"
#include "export/ui/color_static.h"
#include "export/ui/export_resources.h"
#include "export/ui/tests/fake_dialog_services.h"
#include "export/ui/tests/fake_tray_area.h"
#include "export/ui/tests/test_printers.h"

namespace ixan {
namespace {

using testing::FakeDialogServices;
using testing::FakeTrayArea;
using Calls = std::vector<std::string>;
using Texts = std::vector<QString>;

const QString kConnectFailure =
    QStringLiteral("Beim Verbinden zur Datenbank ist ein Fehler aufgetreten.");

template <typename T = QWidget>
T* control(QWidget& dialog, int id) {
    return dialog.findChild<T*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

// The control that holds the focus, or one of its ancestors that carries an id.
int focusedId() {
    for (QWidget* widget = QApplication::focusWidget(); widget != nullptr;
         widget = widget->parentWidget()) {
        const QVariant id = widget->property(kCtrlIdProperty);
        if (id.isValid()) {
            return id.toInt();
        }
    }
    return 0;
}

struct RunnerCall {
    std::string path;
    QDate from;
    QDate to;
    bool busyCursor;
};

class ExportDialogTest : public ::testing::Test {
  protected:
    ExportDialogTest() : dialog(tray, services) {
        dialog.setExportRunner([this](const std::string& path, const QDate& from, const QDate& to) {
            const QCursor* cursor = QApplication::overrideCursor();
            runs.push_back(
                RunnerCall{path, from, to, cursor != nullptr && cursor->shape() == Qt::WaitCursor});
            for (const QString& text : runnerMessages) {
                dialog.showMessage(text);
            }
            if (runnerThrows) {
                throw std::runtime_error("Datenträger voll");
            }
            return ExportOutcome{runnerWrites};
        });
    }

    ~ExportDialogTest() override {
        while (QApplication::overrideCursor() != nullptr) {
            ADD_FAILURE() << "busy cursor left behind";
            QApplication::restoreOverrideCursor();
        }
    }

    void openFromTray() {
        dialog.show();
        tray.click(TrayMouse::LeftDoubleClick);
        ASSERT_TRUE(dialog.isVisible());
        tray.calls.clear();
    }

    void setRange(QDate from, QDate to) {
        control<QDateEdit>(dialog, kIdStartDate)->setDate(from);
        control<QDateEdit>(dialog, kIdEndDate)->setDate(to);
    }

    // Runs what the dialog has queued for itself (the posted minimise command).
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
    }

    FakeTrayArea tray;
    FakeDialogServices services;
    std::vector<RunnerCall> runs;
    std::vector<QString> runnerMessages;
    bool runnerWrites = true;
    bool runnerThrows = false;
    CEVexportDlg dialog;
};

TEST_F(ExportDialogTest, StartsAsANotificationIconOnly) {
    EXPECT_EQ(tray.calls, (Calls{"add 1"}));
    ASSERT_EQ(tray.added.size(), 1u);
    EXPECT_TRUE(tray.added.front().flags & kNotifyIconIcon);
    EXPECT_FALSE(tray.added.front().icon.isNull());
    dialog.show();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST(ExportDialogNoTray, ShowsAtOnceWithoutANotificationArea) {
    FakeTrayArea tray;
    tray.available = false;
    FakeDialogServices services;
    CEVexportDlg dialog(tray, services);
    dialog.show();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.iconShown());
}

TEST_F(ExportDialogTest, TemplateTextsAndIds) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("IXAN 400 - Export Ereignis Protokoll 1.0"));
    struct Case {
        int id;
        const char* className;
        const char* text;
    };
    const Case cases[] = {
        {1, "QPushButton", "&Export"},
        {1004, "QPushButton", "&Minimieren"},
        {1001, "QLabel", ""},
        {1005, "ixan::CColorStatic",
         "Zum Export der Daten wählen Sie bitte den gewünschten Zeitraum."},
        {1002, "QDateEdit", nullptr},
        {1003, "QDateEdit", nullptr},
        {1006, "ixan::CColorStatic", "Von:"},
        {1007, "ixan::CColorStatic", "Bis:"},
    };
    for (const Case& c : cases) {
        QWidget* widget = control(dialog, c.id);
        ASSERT_NE(widget, nullptr) << "control " << c.id;
        EXPECT_EQ(widget->property(kCtrlIdProperty).toInt(), c.id);
        EXPECT_STREQ(widget->metaObject()->className(), c.className) << "control " << c.id;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(c.text)) << "control " << c.id;
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(c.text)) << "control " << c.id;
        }
    }
}

TEST_F(ExportDialogTest, ControlsSitAtTheirDialogUnitPlaces) {
    EXPECT_EQ(dialog.font().pointSize(), 8);
    const DialogBaseUnits units = dialogBaseUnits(dialog.font());
    EXPECT_EQ(dialog.size(), mapDialogRect(QRect(0, 0, 250, 124), units).size());
    struct Case {
        int id;
        QRect dialogUnits;
    };
    const Case cases[] = {
        {1, QRect(188, 102, 50, 16)},    {1004, QRect(11, 102, 50, 16)},
        {1005, QRect(13, 41, 215, 8)},   {1002, QRect(12, 72, 100, 15)},
        {1003, QRect(138, 72, 100, 15)}, {1006, QRect(13, 61, 14, 8)},
        {1007, QRect(138, 60, 11, 8)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(control(dialog, c.id)->geometry(), mapDialogRect(c.dialogUnits, units))
            << "control " << c.id;
    }
    // The picture control takes the size of its bitmap.
    QLabel* logo = control<QLabel>(dialog, 1001);
    EXPECT_EQ(logo->pos(), mapDialogRect(QRect(140, 8, 99, 19), units).topLeft());
    EXPECT_EQ(logo->size(), QSize(148, 31));
    EXPECT_EQ(logo->pixmap().size(), QSize(148, 31));
}

TEST_F(ExportDialogTest, FocusStartsOnExportAndTabsInTemplateOrder) {
    openFromTray();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog, 5000));
    // Tab also walks the day, month and year of a date picker: repeats collapse.
    std::vector<int> order{focusedId()};
    for (int i = 0; i < 12 && order.size() < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (focusedId() != order.back()) {
            order.push_back(focusedId());
        }
    }
    EXPECT_EQ(order, (std::vector<int>{1, 1004, 1002, 1003, 1}));
}

TEST_F(ExportDialogTest, ExportIsTheDefaultButton) {
    EXPECT_TRUE(control<QPushButton>(dialog, kIdExport)->isDefault());
    EXPECT_FALSE(control<QPushButton>(dialog, kIdMinimize)->isDefault());
}

TEST_F(ExportDialogTest, EnterInADatePickerStartsAnExport) {
    openFromTray();
    QTest::keyClick(control(dialog, kIdStartDate), Qt::Key_Return);
    EXPECT_EQ(services.saveRequests.size(), 1u);
    EXPECT_EQ(services.texts(), (Texts{QString::fromUtf8(kMsgNoFileName)}));
    EXPECT_TRUE(dialog.isVisible()) << "command 1 never ends the dialog";
}

TEST_F(ExportDialogTest, EscapeEndsTheDialog) {
    openFromTray();
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ExportDialogTest, CloseEndsTheDialog) {
    openFromTray();
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    dialog.close();
    EXPECT_EQ(rejected.count(), 1);
}

TEST_F(ExportDialogTest, TrayMenuHoldsBeendenWhichEndsTheDialog) {
    QMenu* popup = dialog.trayPopup();
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(popup->actions().size(), 1);
    EXPECT_EQ(popup->actions().front()->text(), QStringLiteral("&Beenden"));
    EXPECT_EQ(popup->title(), QStringLiteral("TrayMenu"));
    tray.click(TrayMouse::RightDown);
    EXPECT_EQ(popup->defaultAction(), popup->actions().front()) << "shown in bold";
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    popup->actions().front()->trigger();
    EXPECT_EQ(rejected.count(), 1);
}

TEST_F(ExportDialogTest, BackgroundAndLabelsInTheDialogColour) {
    const QColor lilac(235, 233, 237);
    const QImage image = dialog.grab().toImage();
    // Corners and the gap between the hint and the pickers hold no control.
    for (const QPoint point : {QPoint(2, 2), QPoint(image.width() - 3, image.height() - 3),
                               QPoint(image.width() / 2, image.height() / 2 - 10)}) {
        EXPECT_EQ(QColor(image.pixel(point)), lilac) << "at " << point.x() << "," << point.y();
    }
    for (const int id : {kIdLabelHint, kIdLabelFrom, kIdLabelTo}) {
        auto* label = control<CColorStatic>(dialog, id);
        EXPECT_EQ(label->backgroundColor(), lilac) << "label " << id;
        EXPECT_EQ(label->textColor(), QColor(Qt::black)) << "label " << id;
        const QImage labelImage = label->grab().toImage();
        EXPECT_EQ(QColor(labelImage.pixel(labelImage.width() - 1, 0)), lilac) << "label " << id;
    }
}

TEST_F(ExportDialogTest, DatePickersStartOnTodayWithACalendar) {
    for (const int id : {kIdStartDate, kIdEndDate}) {
        auto* picker = control<QDateEdit>(dialog, id);
        EXPECT_EQ(picker->date(), QDate::currentDate()) << "picker " << id;
        EXPECT_TRUE(picker->calendarPopup()) << "picker " << id;
        EXPECT_EQ(picker->displayFormat(), shortDateFormat(QLocale())) << "picker " << id;
    }
}

TEST_F(ExportDialogTest, AboutEntryOpensTheAboutBox) {
    QMenu* menu = dialog.windowMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().front()->text(), QStringLiteral("&Info über EV-export..."));

    openFromTray();
    QString title;
    QString text;
    QString okText;
    bool okIsDefault = false;
    QTimer::singleShot(0, &dialog, [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (about == nullptr) {
            ADD_FAILURE() << "no About box open";
            return;
        }
        title = about->windowTitle();
        if (auto* label = about->findChild<QLabel*>()) {
            text = label->text();
        }
        auto* ok = about->findChild<QPushButton*>(QStringLiteral("1"));
        if (ok != nullptr) {
            okText = ok->text();
            okIsDefault = ok->isDefault();
            ok->click();
        }
    });
    QTimer::singleShot(10000, &dialog, [] {
        if (QWidget* open = QApplication::activeModalWidget()) {
            open->close();
        }
    });
    menu->actions().front()->trigger();
    EXPECT_EQ(title, QStringLiteral("Info überIXAN-Export"));
    EXPECT_EQ(text, QStringLiteral("IXAN-Export"));
    EXPECT_EQ(okText, QStringLiteral("OK"));
    EXPECT_TRUE(okIsDefault);
    EXPECT_TRUE(dialog.isVisible());
}

TEST(ExportResources, IconAndLogoLoad) {
    const QIcon icon = exportIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{QSize(16, 16), QSize(32, 32), QSize(48, 48)}));
    const QPixmap logo = exportLogo();
    EXPECT_EQ(logo.size(), QSize(148, 31));
    EXPECT_FALSE(logo.hasAlphaChannel()) << "a 24-bit picture";
}

TEST(AboutDialog, TemplateSizeAndOkPlace) {
    CAboutDlg about;
    const DialogBaseUnits units = dialogBaseUnits(about.font());
    EXPECT_EQ(about.size(), mapDialogRect(QRect(0, 0, 235, 55), units).size());
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("1"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->geometry(), mapDialogRect(QRect(178, 7, 50, 16), units));
    QSignalSpy accepted(&about, &QDialog::accepted);
    ok->click();
    EXPECT_EQ(accepted.count(), 1);
}

TEST_F(ExportDialogTest, WrittenExportReportsSuccessAndReturnsToTheTray) {
    openFromTray();
    setRange(QDate(2007, 3, 5), QDate(2007, 3, 9));
    services.saveAnswers.push_back(QStringLiteral("/tmp/ereignisse.xls"));
    control<QPushButton>(dialog, kIdExport)->click();

    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].path, "/tmp/ereignisse.xls");
    EXPECT_EQ(runs[0].from, QDate(2007, 3, 5));
    EXPECT_EQ(runs[0].to, QDate(2007, 3, 9));
    EXPECT_TRUE(runs[0].busyCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dialog.startDate(), QDate(2007, 3, 5));
    EXPECT_EQ(dialog.endDate(), QDate(2007, 3, 9));
    EXPECT_EQ(services.texts(), (Texts{QStringLiteral("Daten wurden Exportiert.")}));
    EXPECT_EQ(services.messages.front().owner, &dialog);

    EXPECT_TRUE(dialog.isVisible()) << "the minimise command is only queued";
    settle();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.iconShown());
    EXPECT_EQ(tray.calls, (Calls{"add 1"}));
}

TEST_F(ExportDialogTest, SaveDialogOffersExcelAndCsv) {
    openFromTray();
    control<QPushButton>(dialog, kIdExport)->click();
    ASSERT_EQ(services.saveRequests.size(), 1u);
    const SaveFileRequest& request = services.saveRequests.front();
    EXPECT_EQ(request.defaultSuffix, QStringLiteral("xls"));
    EXPECT_EQ(request.nameFilters, (QStringList{QStringLiteral("Microsoft Excel-Datei (*.xls)"),
                                                QStringLiteral("Comma Separated Values(*.csv)")}));
    EXPECT_EQ(request.selectedFilter, 0);
    EXPECT_TRUE(request.confirmOverwrite);
    EXPECT_EQ(services.saveOwners.front(), &dialog);
}

TEST_F(ExportDialogTest, CancelledSaveAsksForAFileNameAndStaysOpen) {
    openFromTray();
    services.saveAnswers.push_back(std::nullopt);
    control<QPushButton>(dialog, kIdExport)->click();
    settle();
    EXPECT_TRUE(runs.empty());
    EXPECT_EQ(services.texts(),
              (Texts{QStringLiteral("Zum exportieren muss ein Dateiname angegeben werden.")}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(tray.calls.empty());
}

TEST_F(ExportDialogTest, StartAfterEndWarnsAndStops) {
    openFromTray();
    setRange(QDate(2007, 3, 9), QDate(2007, 3, 5));
    services.saveAnswers.push_back(QStringLiteral("/tmp/ereignisse.xls"));
    control<QPushButton>(dialog, kIdExport)->click();
    settle();
    EXPECT_EQ(services.texts(),
              (Texts{QStringLiteral("Das Startdatum darf nicht nach dem Enddatum liegen.")}));
    EXPECT_TRUE(services.saveRequests.empty()) << "no file is asked for";
    EXPECT_TRUE(runs.empty());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ExportDialogTest, SameDayInBothPickersExportsThatDay) {
    openFromTray();
    setRange(QDate(2007, 1, 2), QDate(2007, 1, 2));
    services.saveAnswers.push_back(QStringLiteral("/tmp/tag.csv"));
    control<QPushButton>(dialog, kIdExport)->click();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].from, QDate(2007, 1, 2));
    EXPECT_EQ(runs[0].to, QDate(2007, 1, 2));
    EXPECT_EQ(runs[0].path, "/tmp/tag.csv");
}

TEST_F(ExportDialogTest, FailedExportShowsOnlyTheRunnersMessageAndStaysOpen) {
    openFromTray();
    runnerWrites = false;
    runnerMessages = {kConnectFailure};
    services.saveAnswers.push_back(QStringLiteral("/tmp/ereignisse.xls"));
    control<QPushButton>(dialog, kIdExport)->click();
    settle();
    EXPECT_EQ(runs.size(), 1u);
    EXPECT_EQ(services.texts(), (Texts{kConnectFailure}));
    EXPECT_EQ(services.messages.front().owner, &dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(tray.calls.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportDialogTest, RunnerExceptionIsShownAndCountsAsNotWritten) {
    openFromTray();
    runnerThrows = true;
    services.saveAnswers.push_back(QStringLiteral("/tmp/ereignisse.csv"));
    control<QPushButton>(dialog, kIdExport)->click();
    settle();
    EXPECT_EQ(services.texts(), (Texts{QStringLiteral("Datenträger voll")}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ExportDialogTest, SecondExportAfterAFailureRunsAgain) {
    openFromTray();
    runnerWrites = false;
    services.saveAnswers = {QStringLiteral("/tmp/a.xls"), QStringLiteral("/tmp/b.xls")};
    control<QPushButton>(dialog, kIdExport)->click();
    runnerWrites = true;
    control<QPushButton>(dialog, kIdExport)->click();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].path, "/tmp/b.xls");
    EXPECT_EQ(services.texts(), (Texts{QStringLiteral("Daten wurden Exportiert.")}));
}

TEST_F(ExportDialogTest, MinimierenSendsTheWindowToTheTray) {
    openFromTray();
    control<QPushButton>(dialog, kIdMinimize)->click();
    settle();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.iconShown());
    EXPECT_EQ(tray.calls, (Calls{"add 1"}));
    tray.click(TrayMouse::LeftDoubleClick);
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace ixan
