#include "export/ui/tray_dialog.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSignalSpy>
#include <QTimer>

#include <string>
#include <vector>

#include "export/ui/export_resources.h"
#include "export/ui/system_tray_area.h"
#include "export/ui/tests/fake_tray_area.h"
#include "export/ui/tests/test_printers.h"

namespace ixan {
namespace {

using testing::FakeTrayArea;
using Calls = std::vector<std::string>;

QIcon someIcon() {
    QPixmap image(16, 16);
    image.fill(Qt::red);
    return QIcon(image);
}

// Records which overridable tray handler ran, and at which point. With passThrough the
// default behaviour runs as well.
class RecordingTrayDialog : public CTrayDialog {
  public:
    using CTrayDialog::CTrayDialog;
    using CTrayDialog::StartInTray;

    bool passThrough = true;
    std::vector<std::string> handled;

  protected:
    void OnTrayLeftDown(QPoint cursor) override {
        note("LeftDown", cursor);
        CTrayDialog::OnTrayLeftDown(cursor);
    }
    void OnTrayLeftDoubleClick(QPoint cursor) override {
        note("LeftDoubleClick", cursor);
        if (passThrough) {
            CTrayDialog::OnTrayLeftDoubleClick(cursor);
        }
    }
    void OnTrayRightDown(QPoint cursor) override {
        note("RightDown", cursor);
        if (passThrough) {
            CTrayDialog::OnTrayRightDown(cursor);
        }
    }
    void OnTrayRightDoubleClick(QPoint cursor) override {
        note("RightDoubleClick", cursor);
        CTrayDialog::OnTrayRightDoubleClick(cursor);
    }
    void OnTrayMouseMove(QPoint cursor) override {
        note("MouseMove", cursor);
        CTrayDialog::OnTrayMouseMove(cursor);
    }

  private:
    void note(const char* name, QPoint cursor) {
        handled.push_back(std::string(name) + "@" + std::to_string(cursor.x()) + "," +
                          std::to_string(cursor.y()));
    }
};

class TrayDialogTest : public ::testing::Test {
  protected:
    TrayDialogTest() : dialog(tray) { dialog.LoadTrayIcon(someIcon()); }

    // Started in the tray, then opened from the icon.
    void openFromTray() {
        ASSERT_TRUE(dialog.StartInTray());
        dialog.show();
        tray.click(TrayMouse::LeftDoubleClick);
        ASSERT_TRUE(dialog.isVisible());
        tray.calls.clear();
    }

    FakeTrayArea tray;
    RecordingTrayDialog dialog;
};

TEST_F(TrayDialogTest, StartsHiddenWithTheIconShownAndSuppressesShow) {
    EXPECT_TRUE(dialog.StartInTray());
    EXPECT_EQ(tray.calls, (Calls{"add 1"}));
    EXPECT_TRUE(dialog.iconShown());
    EXPECT_FALSE(dialog.showAllowed());
    dialog.show();
    dialog.setVisible(true);
    dialog.showNormal();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(TrayDialogTest, NeverShownWithoutItsIcon) {
    dialog.show();
    EXPECT_FALSE(dialog.isVisible());
    tray.click(TrayMouse::LeftDoubleClick);
    EXPECT_FALSE(dialog.isVisible()) << "no icon shown, so nothing to restore";
    EXPECT_TRUE(tray.calls.empty());
}

TEST_F(TrayDialogTest, DoubleClickShowsTheWindowAndRemovesTheIcon) {
    ASSERT_TRUE(dialog.StartInTray());
    tray.click(TrayMouse::LeftDoubleClick);
    EXPECT_EQ(tray.calls, (Calls{"add 1", "delete 1"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.iconShown());
    EXPECT_TRUE(dialog.showAllowed());
}

TEST_F(TrayDialogTest, FailedIconRemovalKeepsTheWindowInTheTray) {
    ASSERT_TRUE(dialog.StartInTray());
    tray.deleteSucceeds = false;
    tray.click(TrayMouse::LeftDoubleClick);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.iconShown());
    tray.deleteSucceeds = true;
    tray.click(TrayMouse::LeftDoubleClick);
    EXPECT_TRUE(dialog.isVisible()) << "the operator can try again";
}

TEST_F(TrayDialogTest, MinimiseHidesTheWindowAndAddsTheIcon) {
    openFromTray();
    dialog.OnSysCommand(kScMinimize);
    EXPECT_EQ(tray.calls, (Calls{"add 1"}));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(dialog.isMinimized()) << "hidden, not minimised";
    EXPECT_TRUE(dialog.iconShown());
    dialog.show();
    EXPECT_FALSE(dialog.isVisible()) << "showing is suppressed again";
}

TEST_F(TrayDialogTest, OnlyTheMinimiseCommandGoesToTheTray) {
    struct Case {
        unsigned command;
        bool toTray;
    };
    const Case cases[] = {
        {0xF020, true},                    // SC_MINIMIZE
        {0xF022, true},                    // low four bits are flags of the command
        {0xF02F, true},  {0xF030, false},  // SC_MAXIMIZE
        {0xF120, false},                   // SC_RESTORE
        {0xF010, false},                   // SC_MOVE
    };
    for (const Case& c : cases) {
        FakeTrayArea area;
        RecordingTrayDialog open(area);
        open.LoadTrayIcon(someIcon());
        ASSERT_TRUE(open.StartInTray());
        area.click(TrayMouse::LeftDoubleClick);
        open.OnSysCommand(c.command);
        EXPECT_EQ(open.isVisible(), !c.toTray) << "command 0x" << std::hex << c.command;
        EXPECT_EQ(open.iconShown(), c.toTray) << "command 0x" << std::hex << c.command;
    }
}

TEST_F(TrayDialogTest, MinimiseWhileTheIconIsShownChangesNothing) {
    openFromTray();
    ASSERT_TRUE(dialog.AddTrayIcon());
    tray.calls.clear();
    dialog.OnSysCommand(kScMinimize);
    EXPECT_TRUE(tray.calls.empty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.showAllowed());
}

TEST_F(TrayDialogTest, FailedAddOnMinimiseLeavesTheWindowAsItWas) {
    openFromTray();
    tray.addSucceeds = false;
    dialog.OnSysCommand(kScMinimize);
    EXPECT_EQ(tray.calls, (Calls{"add 1"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.iconShown());
    EXPECT_TRUE(dialog.showAllowed());
}

TEST_F(TrayDialogTest, WindowManagerMinimiseGoesToTheTray) {
    openFromTray();
    dialog.setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.iconShown());
    EXPECT_FALSE(dialog.windowState() & Qt::WindowMinimized);
}

TEST_F(TrayDialogTest, AddTrayIconTwiceMakesNoSecondCall) {
    EXPECT_TRUE(dialog.AddTrayIcon());
    EXPECT_FALSE(dialog.AddTrayIcon());
    EXPECT_EQ(tray.calls, (Calls{"add 1"}));
}

TEST_F(TrayDialogTest, FailedAddLeavesTheIconNotShown) {
    tray.addSucceeds = false;
    EXPECT_FALSE(dialog.AddTrayIcon());
    EXPECT_FALSE(dialog.iconShown());
    EXPECT_FALSE(dialog.showAllowed());
}

TEST_F(TrayDialogTest, WithoutANotificationAreaTheWindowShowsAtOnce) {
    tray.available = false;
    EXPECT_FALSE(dialog.StartInTray());
    EXPECT_TRUE(tray.calls.empty()) << "no add is tried without a notification area";
    dialog.show();
    EXPECT_TRUE(dialog.isVisible());
    dialog.OnSysCommand(kScMinimize);
    EXPECT_TRUE(dialog.isVisible()) << "there is no tray to go to";
}

TEST_F(TrayDialogTest, IconThatCannotBeAddedAtStartShowsTheWindowAtOnce) {
    tray.addSucceeds = false;
    EXPECT_FALSE(dialog.StartInTray());
    dialog.show();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.iconShown());
}

TEST_F(TrayDialogTest, TrayEventsReachTheirHandlers) {
    struct Case {
        TrayMouse event;
        int iconId;
        std::vector<std::string> handled;
    };
    const Case cases[] = {
        {TrayMouse::LeftDown, 1, {"LeftDown@12,34"}},
        {TrayMouse::LeftDoubleClick, 1, {"LeftDoubleClick@12,34"}},
        {TrayMouse::RightDown, 1, {"RightDown@12,34"}},
        {TrayMouse::ContextMenu, 1, {"RightDown@12,34"}},
        {TrayMouse::RightDoubleClick, 1, {"RightDoubleClick@12,34"}},
        {TrayMouse::MouseMove, 1, {"MouseMove@12,34"}},
        // Button-up and unknown events are ignored.
        {TrayMouse::LeftUp, 1, {}},
        {TrayMouse::RightUp, 1, {}},
        {TrayMouse::Other, 1, {}},
        // Events of another icon are ignored.
        {TrayMouse::LeftDoubleClick, 2, {}},
        {TrayMouse::RightDown, 0, {}},
    };
    dialog.passThrough = false;
    for (const Case& c : cases) {
        dialog.handled.clear();
        tray.click(c.event, c.iconId, QPoint(12, 34));
        EXPECT_EQ(dialog.handled, c.handled)
            << "event " << static_cast<int>(c.event) << " for icon " << c.iconId;
    }
}

TEST_F(TrayDialogTest, SingleLeftClickDoesNothing) {
    ASSERT_TRUE(dialog.StartInTray());
    tray.click(TrayMouse::LeftDown);
    tray.click(TrayMouse::LeftUp);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(tray.calls, (Calls{"add 1"}));
}

TEST_F(TrayDialogTest, IconRecordCarriesWindowIdAndIcon) {
    ASSERT_TRUE(dialog.AddTrayIcon());
    ASSERT_EQ(tray.added.size(), 1u);
    const NotifyIconRecord& record = tray.added.front();
    EXPECT_EQ(record.window, &dialog);
    EXPECT_EQ(record.iconId, 1);
    EXPECT_EQ(record.flags, kNotifyIconMessage | kNotifyIconIcon);
    EXPECT_FALSE(record.icon.isNull());
    EXPECT_TRUE(record.tip.isEmpty());
}

TEST(TrayDialogIcon, NullIconLeavesTheRecordWithoutIcon) {
    FakeTrayArea tray;
    CTrayDialog dialog(tray);
    dialog.LoadTrayIcon(QIcon());
    dialog.LoadTrayIcon(loadIconGroup({QStringLiteral(":/no/such/icon.png")}));
    ASSERT_TRUE(dialog.AddTrayIcon());
    EXPECT_EQ(tray.added.front().flags, kNotifyIconMessage);
}

TEST_F(TrayDialogTest, DestroyWhileOpenMakesNoTrayCall) {
    auto open = std::make_unique<RecordingTrayDialog>(tray);
    open->LoadTrayIcon(someIcon());
    ASSERT_TRUE(open->StartInTray());
    tray.click(TrayMouse::LeftDoubleClick);
    ASSERT_TRUE(open->isVisible());
    tray.callsForbidden = true;
    open.reset();
}

TEST_F(TrayDialogTest, DestroyInTheTrayRemovesTheIcon) {
    auto inTray = std::make_unique<RecordingTrayDialog>(tray);
    ASSERT_TRUE(inTray->StartInTray());
    inTray.reset();
    EXPECT_EQ(tray.calls, (Calls{"add 1", "delete 1"}));
}

// The test platform has no notification area, like a desktop without one.
TEST(SystemTrayArea, WithoutANotificationAreaRefusesTheIcon) {
    SystemTrayArea area;
    ASSERT_FALSE(area.isAvailable());
    NotifyIconRecord record;
    record.icon = someIcon();
    record.flags |= kNotifyIconIcon;
    EXPECT_FALSE(area.addIcon(record));
    EXPECT_FALSE(area.deleteIcon(kTrayIconId));

    CTrayDialog dialog(area);
    dialog.LoadTrayIcon(someIcon());
    EXPECT_FALSE(dialog.AddTrayIcon());
    EXPECT_FALSE(dialog.iconShown());
}

TEST(TrayMenuPosition, BottomEdgeAtTheCursor) {
    EXPECT_EQ(trayMenuPosition(QPoint(400, 300), QSize(120, 40)), QPoint(400, 260));
    EXPECT_EQ(trayMenuPosition(QPoint(0, 10), QSize(50, 30)), QPoint(0, -20));
}

TEST_F(TrayDialogTest, RightClickOpensTheFirstSubmenuAboveTheCursor) {
    dialog.LoadTrayMenu(makeTrayMenu());
    ASSERT_TRUE(dialog.StartInTray());
    QMenu* popup = dialog.trayPopup();
    ASSERT_NE(popup, nullptr);
    tray.click(TrayMouse::RightDown, kTrayIconId, QPoint(400, 300));
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->geometry().left(), 400);
    EXPECT_EQ(popup->geometry().bottom() + 1, 300);
    ASSERT_FALSE(popup->actions().isEmpty());
    EXPECT_EQ(popup->defaultAction(), popup->actions().front());
    popup->hide();
    EXPECT_FALSE(dialog.isVisible()) << "the menu does not open the window";
}

TEST_F(TrayDialogTest, TrayMenuQuitEndsTheDialog) {
    dialog.LoadTrayMenu(makeTrayMenu());
    ASSERT_TRUE(dialog.StartInTray());
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    tray.click(TrayMouse::RightDown);
    dialog.trayPopup()->actions().front()->trigger();
    EXPECT_EQ(rejected.count(), 1);
}

TEST_F(TrayDialogTest, WithoutAMenuARightClickDoesNothing) {
    EXPECT_FALSE(dialog.LoadTrayMenu(nullptr));
    EXPECT_EQ(dialog.trayPopup(), nullptr);
    ASSERT_TRUE(dialog.StartInTray());
    tray.click(TrayMouse::RightDown);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(TrayDialogTest, MinimiseDuringExecKeepsTheDialogRunning) {
    ASSERT_TRUE(dialog.StartInTray());
    std::vector<std::string> seen;
    auto state = [this] { return dialog.isVisible() ? "visible" : "hidden"; };
    QTimer::singleShot(0, &dialog, [&] {
        seen.push_back(state());
        tray.click(TrayMouse::LeftDoubleClick);
        seen.push_back(state());
        dialog.OnSysCommand(kScMinimize);
        QTimer::singleShot(0, &dialog, [&] {
            seen.push_back(state());
            dialog.done(7);
        });
    });
    QTimer::singleShot(10000, &dialog, [this] { dialog.done(99); });  // bound in time
    const int result = dialog.exec();
    EXPECT_EQ(result, 7);
    EXPECT_EQ(seen, (std::vector<std::string>{"hidden", "visible", "hidden"}));
}

TEST_F(TrayDialogTest, TrayMenuQuitEndsExecWhileHiddenInTheTray) {
    dialog.LoadTrayMenu(makeTrayMenu());
    ASSERT_TRUE(dialog.StartInTray());
    bool hiddenWhileRunning = false;
    QTimer::singleShot(0, &dialog, [&] {
        hiddenWhileRunning = !dialog.isVisible();
        tray.click(TrayMouse::RightDown);
        dialog.trayPopup()->actions().front()->trigger();
    });
    QTimer::singleShot(10000, &dialog, [this] { dialog.done(99); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(hiddenWhileRunning);
}

TEST_F(TrayDialogTest, ExecOfAnOpenDialogEndsWithItsResult) {
    openFromTray();
    QTimer::singleShot(0, &dialog, [this] {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isModal());
        dialog.accept();
    });
    QTimer::singleShot(10000, &dialog, [this] { dialog.done(99); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace ixan
