#include "export/ui/system_tray_area.h"

#include <QCursor>
#include <QSystemTrayIcon>

namespace ixan {

namespace {

// QSystemTrayIcon reports clicks, not button presses; a click stands for the press.
TrayMouse trayMouseOf(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return TrayMouse::LeftDown;
        case QSystemTrayIcon::DoubleClick:
            return TrayMouse::LeftDoubleClick;
        case QSystemTrayIcon::Context:
            return TrayMouse::ContextMenu;
        case QSystemTrayIcon::MiddleClick:
        case QSystemTrayIcon::Unknown:
            break;
    }
    return TrayMouse::Other;
}

}  // namespace

SystemTrayArea::SystemTrayArea(QObject* parent) : TrayArea(parent) {}

SystemTrayArea::~SystemTrayArea() = default;

bool SystemTrayArea::isAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool SystemTrayArea::addIcon(const NotifyIconRecord& record) {
    if (!isAvailable() || m_icons.count(record.iconId) != 0) {
        return false;
    }
    if ((record.flags & kNotifyIconIcon) == 0 || record.icon.isNull()) {
        return false;
    }
    auto* icon = new QSystemTrayIcon(record.icon, this);
    if ((record.flags & kNotifyIconTip) != 0) {
        icon->setToolTip(record.tip);
    }
    const int iconId = record.iconId;
    connect(icon, &QSystemTrayIcon::activated, this,
            [this, iconId](QSystemTrayIcon::ActivationReason reason) {
                emit activated(iconId, trayMouseOf(reason), QCursor::pos());
            });
    icon->show();
    m_icons.emplace(iconId, icon);
    return true;
}

bool SystemTrayArea::deleteIcon(int iconId) {
    const auto found = m_icons.find(iconId);
    if (found == m_icons.end()) {
        return false;
    }
    found->second->hide();
    found->second->deleteLater();
    m_icons.erase(found);
    return true;
}

}  // namespace ixan
