// ixan-export-shots: draws the main dialog and the About box and saves them as PNG
// files, for the documentation. Not part of the installed program.
//
//   ixan-export-shots MAIN.png ABOUT.png

#include <QApplication>
#include <QLocale>
#include <QPixmap>
#include <cstdio>

#include "export/ui/about_dialog.h"
#include "export/ui/dialog_services.h"
#include "export/ui/export_dialog.h"
#include "export/ui/export_resources.h"

namespace {

// No notification area, so the main dialog shows at once.
class NoTrayArea final : public ixan::TrayArea {
  public:
    bool isAvailable() const override { return false; }
    bool addIcon(const ixan::NotifyIconRecord&) override { return false; }
    bool deleteIcon(int) override { return false; }
};

class NoDialogs final : public ixan::DialogServices {
  public:
    void showMessage(QWidget*, const QString&) override {}
    std::optional<QString> askSaveFileName(QWidget*, const ixan::SaveFileRequest&) override {
        return std::nullopt;
    }
};

bool shoot(QWidget& window, const char* file) {
    window.show();
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
    }
    const QPixmap image = window.grab();
    if (!image.save(QString::fromLocal8Bit(file), "PNG")) {
        std::fprintf(stderr, "ixan-export-shots: cannot write %s\n", file);
        return false;
    }
    window.hide();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: ixan-export-shots MAIN.png ABOUT.png\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(ixan::kExportCaption));
    // The pictures show the dialog as the German operator sees it.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    NoTrayArea tray;
    NoDialogs dialogs;
    ixan::CEVexportDlg dialog(tray, dialogs);
    ixan::CAboutDlg about;
    const bool ok = shoot(dialog, argv[1]) && shoot(about, argv[2]);
    return ok ? 0 : 1;
}
