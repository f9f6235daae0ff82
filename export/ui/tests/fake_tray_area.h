#pragma once
// A notification area that records every call and answers as scripted. A test that
// forbids calls fails at the first one.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/ui/tray_area.h"

namespace ixan::testing {

class FakeTrayArea final : public TrayArea {
  public:
    bool available = true;
    bool addSucceeds = true;
    bool deleteSucceeds = true;
    bool callsForbidden = false;

    std::vector<std::string> calls;  // "add 1", "delete 1"
    std::vector<NotifyIconRecord> added;

    bool isAvailable() const override { return available; }

    bool addIcon(const NotifyIconRecord& record) override {
        record_("add " + std::to_string(record.iconId));
        added.push_back(record);
        return available && addSucceeds;
    }

    bool deleteIcon(int iconId) override {
        record_("delete " + std::to_string(iconId));
        return deleteSucceeds;
    }

    // The desktop reporting a mouse event on an icon.
    void click(TrayMouse event, int iconId = kTrayIconId, QPoint cursor = QPoint(400, 300)) {
        emit activated(iconId, event, cursor);
    }

  private:
    void record_(const std::string& call) {
        if (callsForbidden) {
            ADD_FAILURE() << "unexpected tray call: " << call;
        }
        calls.push_back(call);
    }
};

}  // namespace ixan::testing
