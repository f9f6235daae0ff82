#pragma once
// Dialog 100, the About box of the export tool.

#include <QDialog>

namespace ixan {

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace ixan
