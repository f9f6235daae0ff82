#include "export/ui/tray_dialog.h"

#include <QAction>
#include <QEvent>
#include <QEventLoop>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>

namespace ixan {

QPoint trayMenuPosition(QPoint cursor, QSize menuSize) {
    return QPoint(cursor.x(), cursor.y() - menuSize.height());
}

CTrayDialog::CTrayDialog(TrayArea& tray, QWidget* parent) : QDialog(parent), m_tray(tray) {
    // The window exists from construction on.
    m_notifyIcon.window = this;
    m_notifyIcon.iconId = kTrayIconId;
    connect(&m_tray, &TrayArea::activated, this, &CTrayDialog::OnTrayNotification);
}

CTrayDialog::~CTrayDialog() {
    if (m_notifyIcon.window != nullptr && m_notifyIcon.iconId != 0 && m_iconShown) {
        m_tray.deleteIcon(m_notifyIcon.iconId);
    }
}

void CTrayDialog::LoadTrayIcon(const QIcon& icon) {
    if (icon.isNull()) {
        return;
    }
    m_notifyIcon.icon = icon;
    m_notifyIcon.flags |= kNotifyIconIcon;
}

bool CTrayDialog::LoadTrayMenu(std::unique_ptr<QMenu> menu) {
    if (!menu) {
        return false;
    }
    m_trayMenu = std::move(menu);
    if (QMenu* popup = trayPopup()) {
        connect(popup, &QMenu::triggered, this,
                [this](QAction* action) { OnCommand(action->data().toInt()); });
    }
    return true;
}

QMenu* CTrayDialog::trayPopup() const {
    if (!m_trayMenu || m_trayMenu->actions().isEmpty()) {
        return nullptr;
    }
    return m_trayMenu->actions().front()->menu();
}

bool CTrayDialog::AddTrayIcon() {
    if (m_iconShown) {
        return false;
    }
    const bool added = m_tray.addIcon(m_notifyIcon);
    if (added) {
        m_iconShown = true;
    }
    return added;
}

bool CTrayDialog::StartInTray() {
    if (m_tray.isAvailable() && AddTrayIcon()) {
        return true;
    }
    m_showAllowed = true;
    return false;
}

void CTrayDialog::OnSysCommand(unsigned commandId) {
    if (m_minimizeToTray && (commandId & kSysCommandMask) == kScMinimize) {
        if (m_iconShown) {
            return;
        }
        if (!m_tray.addIcon(m_notifyIcon)) {
            return;
        }
        m_iconShown = true;
        m_showAllowed = false;
        hideToTray();
    }
}

void CTrayDialog::OnCommand(int commandId) {
    if (commandId == kIdCancel) {
        reject();
    } else if (commandId == kIdOk) {
        accept();
    }
}

void CTrayDialog::PostSysCommand(unsigned commandId) {
    QMetaObject::invokeMethod(
        this, [this, commandId] { OnSysCommand(commandId); }, Qt::QueuedConnection);
}

void CTrayDialog::OnTrayNotification(int iconId, TrayMouse event, QPoint cursor) {
    if (iconId != m_notifyIcon.iconId) {
        return;
    }
    switch (event) {
        case TrayMouse::RightDown:
        case TrayMouse::ContextMenu:
            OnTrayRightDown(cursor);
            break;
        case TrayMouse::LeftDown:
            OnTrayLeftDown(cursor);
            break;
        case TrayMouse::LeftDoubleClick:
            OnTrayLeftDoubleClick(cursor);
            break;
        case TrayMouse::RightDoubleClick:
            OnTrayRightDoubleClick(cursor);
            break;
        case TrayMouse::MouseMove:
            OnTrayMouseMove(cursor);
            break;
        case TrayMouse::LeftUp:
        case TrayMouse::RightUp:
        case TrayMouse::Other:
            break;
    }
}

void CTrayDialog::OnTrayLeftDown(QPoint) {}

void CTrayDialog::OnTrayLeftDoubleClick(QPoint) {
    if (!m_minimizeToTray || !m_iconShown || !m_tray.deleteIcon(m_notifyIcon.iconId)) {
        return;
    }
    m_iconShown = false;
    m_showAllowed = true;
    show();
    raise();
    activateWindow();
}

void CTrayDialog::OnTrayRightDown(QPoint cursor) {
    QMenu* popup = trayPopup();
    if (popup == nullptr) {
        return;
    }
    const QList<QAction*> items = popup->actions();
    if (m_defaultMenuItem >= 0 && m_defaultMenuItem < items.size()) {
        popup->setDefaultAction(items.at(m_defaultMenuItem));
    }
    // The popup takes the input itself, whether or not the window is shown; a chosen
    // item arrives through OnCommand.
    popup->popup(trayMenuPosition(cursor, popup->sizeHint()));
}

void CTrayDialog::OnTrayRightDoubleClick(QPoint) {}

void CTrayDialog::OnTrayMouseMove(QPoint) {}

void CTrayDialog::setVisible(bool visible) {
    if (visible && !m_showAllowed) {
        return;
    }
    QDialog::setVisible(visible);
}

void CTrayDialog::hideToTray() {
    // QDialog::setVisible(false) would also end a QDialog::exec(); the dialog only goes
    // to the tray and keeps running.
    QWidget::setVisible(false);
}

int CTrayDialog::exec() {
    // QDialog::exec() ends its loop only when done() hides a shown window. This
    // dialog is often ended while hidden in the tray, so it waits for finished().
    QPointer<CTrayDialog> guard(this);
    const bool wasShowModal = testAttribute(Qt::WA_ShowModal);
    setAttribute(Qt::WA_ShowModal, true);
    setResult(0);

    QEventLoop loop;
    bool ended = false;
    const QMetaObject::Connection ending = connect(this, &QDialog::finished, &loop, [&] {
        ended = true;
        loop.exit();
    });
    show();  // suppressed while in the tray
    if (!ended) {
        loop.exec(QEventLoop::DialogExec);
    }
    if (guard.isNull()) {
        return QDialog::Rejected;
    }
    disconnect(ending);
    setAttribute(Qt::WA_ShowModal, wasShowModal);
    return result();
}

void CTrayDialog::changeEvent(QEvent* event) {
    // A window manager that minimises the window (its own title bar or a shortcut)
    // stands for the minimise command of the window menu.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        PostSysCommand(kScMinimize);
    }
    QDialog::changeEvent(event);
}

}  // namespace ixan
