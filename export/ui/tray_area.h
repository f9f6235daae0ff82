#pragma once
// The notification area of the desktop, behind a small interface so that the tray
// dialog can be driven without a desktop. The program uses SystemTrayArea; tests use
// a recording fake.

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

class QWidget;

namespace ixan {

// Flags of a notification icon record.
inline constexpr unsigned kNotifyIconMessage = 0x1;  // the icon reports mouse events
inline constexpr unsigned kNotifyIconIcon = 0x2;     // the record carries an icon
inline constexpr unsigned kNotifyIconTip = 0x4;      // the record carries a tooltip

inline constexpr int kTrayIconId = 1;

// What the tray dialog hands to the notification area for its icon.
struct NotifyIconRecord {
    const QWidget* window = nullptr;  // the owning dialog's window, once it exists
    int iconId = kTrayIconId;
    unsigned flags = kNotifyIconMessage;
    QIcon icon;   // meaningful only with kNotifyIconIcon
    QString tip;  // meaningful only with kNotifyIconTip
};

// Mouse events on a notification icon.
enum class TrayMouse {
    LeftDown,
    LeftUp,
    LeftDoubleClick,
    RightDown,
    RightUp,
    RightDoubleClick,
    ContextMenu,
    MouseMove,
    Other,
};

class TrayArea : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Whether the desktop has a notification area at all.
    virtual bool isAvailable() const = 0;

    // Puts the icon of the record into the notification area under its icon id.
    // Returns false when it could not be added; nothing is then shown.
    virtual bool addIcon(const NotifyIconRecord& record) = 0;

    // Removes the icon with that id. Returns false when there was none to remove or
    // the removal failed; the icon then stays as it was.
    virtual bool deleteIcon(int iconId) = 0;

  signals:
    // A mouse event on one of the icons, with the cursor position in screen
    // coordinates at the time of the event.
    void activated(int iconId, ixan::TrayMouse event, QPoint cursor);
};

}  // namespace ixan
