#pragma once
// The message boxes and the save dialog of the export tool, behind an interface so
// that tests can script the operator's answers. QtDialogServices is the real one.

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace ixan {

struct SaveFileRequest {
    QString defaultSuffix;    // appended to a name typed without one
    QStringList nameFilters;  // "Title (*.ext)"
    int selectedFilter = 0;   // index into nameFilters
    bool confirmOverwrite = true;
};

class DialogServices {
  public:
    virtual ~DialogServices() = default;

    // A modal message owned by owner: caption "IXAN-Export", an OK button, no icon.
    // Returns when the operator has closed it.
    virtual void showMessage(QWidget* owner, const QString& text) = 0;

    // A modal save dialog owned by owner. The chosen full path, or nullopt when the
    // operator cancelled or closed it.
    virtual std::optional<QString> askSaveFileName(QWidget* owner,
                                                   const SaveFileRequest& request) = 0;
};

// The suffix that a name filter such as "Comma Separated Values(*.csv)" stands for
// ("csv"); empty when it names none.
QString suffixOfNameFilter(const QString& filter);

}  // namespace ixan
