#pragma once
// Message boxes and save dialog with scripted answers; records what the dialog showed.

#include <QString>
#include <deque>
#include <optional>
#include <vector>

#include "export/ui/dialog_services.h"

namespace ixan::testing {

class FakeDialogServices final : public DialogServices {
  public:
    struct Message {
        QWidget* owner;
        QString text;
    };

    std::vector<Message> messages;
    std::vector<SaveFileRequest> saveRequests;
    std::vector<QWidget*> saveOwners;
    // Answers of the save dialog, in order; nullopt is a cancel. When none is left the
    // dialog counts as cancelled.
    std::deque<std::optional<QString>> saveAnswers;

    void showMessage(QWidget* owner, const QString& text) override {
        messages.push_back(Message{owner, text});
    }

    std::optional<QString> askSaveFileName(QWidget* owner,
                                           const SaveFileRequest& request) override {
        saveRequests.push_back(request);
        saveOwners.push_back(owner);
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        // Unpacked by hand: copying the optional trips a false maybe-uninitialized in GCC 12.
        const bool confirmed = saveAnswers.front().has_value();
        const QString path = confirmed ? *saveAnswers.front() : QString();
        saveAnswers.pop_front();
        if (!confirmed) {
            return std::nullopt;
        }
        return path;
    }

    std::vector<QString> texts() const {
        std::vector<QString> result;
        for (const Message& message : messages) {
            result.push_back(message.text);
        }
        return result;
    }
};

}  // namespace ixan::testing
