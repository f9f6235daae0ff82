#pragma once
// A dialog that lives in the notification area: it adds an icon there, hides itself
// instead of minimising, shows itself again when the icon is double-clicked and offers
// a popup menu on a right click. While it sits in the tray every attempt to show the
// window is suppressed.

#include <QDialog>
#include <QPoint>
#include <QString>
#include <memory>

#include "export/ui/tray_area.h"

class QMenu;

namespace ixan {

// System commands of the dialogs.
inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kSysCommandMask = 0xFFF0;

// Command ids of the dialogs.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Where a popup of that size opens so that its bottom edge lies at the cursor and its
// left edge at the cursor's x.
QPoint trayMenuPosition(QPoint cursor, QSize menuSize);

class CTrayDialog : public QDialog {
    Q_OBJECT
  public:
    // REQUIRES: tray outlives the dialog. It is not owned.
    explicit CTrayDialog(TrayArea& tray, QWidget* parent = nullptr);
    ~CTrayDialog() override;

    CTrayDialog(const CTrayDialog&) = delete;
    CTrayDialog& operator=(const CTrayDialog&) = delete;

    // Takes the icon for the notification area (see loadIconGroup). A null icon, as
    // from a missing resource, changes nothing. An icon already shown is not updated.
    void LoadTrayIcon(const QIcon& icon);

    // Takes ownership of the menu; its first submenu is the tray popup, and each of its
    // actions carries its command id as data(). Returns whether a menu was attached;
    // with none, right clicks on the icon do nothing.
    bool LoadTrayMenu(std::unique_ptr<QMenu> menu);

    // Adds the icon to the notification area. False, and no call, when it is already
    // shown; otherwise the result of the add.
    bool AddTrayIcon();

    // A system command as the window menu would send it. The minimise command sends the
    // window to the tray; every other one gets the default handling.
    virtual void OnSysCommand(unsigned commandId);

    // A command from a button or menu item. kIdCancel ends the dialog.
    virtual void OnCommand(int commandId);

    // The notification area's report of a mouse event on an icon.
    void OnTrayNotification(int iconId, ixan::TrayMouse event, QPoint cursor);

    void setVisible(bool visible) override;

    // Runs the dialog modally until done() (accept, reject, close, the tray menu's
    // cancel command), also while it sits hidden in the tray; returns the result.
    int exec() override;

    bool iconShown() const { return m_iconShown; }
    bool showAllowed() const { return m_showAllowed; }
    // The tray popup, or nullptr when no menu was attached.
    QMenu* trayPopup() const;

  protected:
    virtual void OnTrayLeftDown(QPoint cursor);
    // Default: restores the window from the tray.
    virtual void OnTrayLeftDoubleClick(QPoint cursor);
    // Default: opens the tray popup at the cursor.
    virtual void OnTrayRightDown(QPoint cursor);
    virtual void OnTrayRightDoubleClick(QPoint cursor);
    virtual void OnTrayMouseMove(QPoint cursor);

    // Queues a system command to the dialog itself; it runs once the current handler
    // has returned.
    void PostSysCommand(unsigned commandId);

    // Adds the icon so that the dialog starts in the notification area. Without a
    // notification area, or when the icon cannot be added, the window may show at once:
    // with no icon to open it from, it would run unseen. Returns whether the icon was
    // added.
    bool StartInTray();

    void changeEvent(QEvent* event) override;

    TrayArea& tray() const { return m_tray; }

  private:
    void hideToTray();

    TrayArea& m_tray;

    bool m_minimizeToTray = true;
    bool m_iconShown = false;
    NotifyIconRecord m_notifyIcon;
    std::unique_ptr<QMenu> m_trayMenu;
    int m_defaultMenuItem = 0;
    bool m_showAllowed = false;
};

}  // namespace ixan
