#pragma once
// The real notification area: one QSystemTrayIcon per icon id.

#include <map>
#include <memory>

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
    std::map<int, std::unique_ptr<QSystemTrayIcon>> m_icons;
};

}  // namespace ixan
