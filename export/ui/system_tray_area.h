#pragma once
// The real notification area: one QSystemTrayIcon per icon id.

#include <map>

#include "export/ui/tray_area.h"

class QSystemTrayIcon;

namespace ixan {

class SystemTrayArea final : public TrayArea {
    Q_OBJECT
  public:
    explicit SystemTrayArea(QObject* parent = nullptr);
    ~SystemTrayArea() override;

    bool isAvailable() const override;
    // Fails without a notification area, for an id already shown and for a record
    // without an icon (the desktop would show nothing to click).
    bool addIcon(const NotifyIconRecord& record) override;
    bool deleteIcon(int iconId) override;

  private:
    // Children of this object; a removed icon is hidden at once and freed later, since
    // the removal may run inside the icon's own activated() signal.
    std::map<int, QSystemTrayIcon*> m_icons;
};

}  // namespace ixan
