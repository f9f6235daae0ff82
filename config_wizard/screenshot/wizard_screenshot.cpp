// Renders the wizard dialog with sample content into a PNG file:
//   ixan-config-screenshot OUTPUT.png

#include <QApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>
#include <iostream>

#include "common/config.h"
#include "config_wizard/ixanconfig_dlg.h"

namespace {

// The dialog only reaches these on finish and cancel, which never happen here.
class NoPrompts final : public ixan::WizardPrompts {
  public:
    void showMessage(QWidget*, const QString&, const QString&) override {}
    bool askOkCancel(QWidget*, const QString&, const QString&) override { return false; }
    std::optional<QString> chooseSaveFile(QWidget*, const ixan::SaveFileRequest&) override {
        return std::nullopt;
    }
};

class NoServices final : public ixan::ServiceManager {
  public:
    bool open() override { return false; }
    bool serviceExists(const std::string&) override { return false; }
    bool createService(const ixan::ServiceRegistration&, int&) override { return false; }
    bool deleteService(const std::string&) override { return false; }
    bool stopService(const std::string&) override { return false; }
    bool startService(const std::string&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: ixan-config-screenshot OUTPUT.png\n";
        return 2;
    }
    QApplication app(argc, argv);
    ixan::Config& cfg = ixan::processConfig();
    cfg.global.log = "/var/log/ixansys.log";
    for (const char* host : {"192.168.0.10", "192.168.0.11", "tuer-lager.example.lan"}) {
        ixan::NodeEntry node;
        node.host = host;
        cfg.nodes.push_back(node);
    }
    NoPrompts prompts;
    NoServices services;
    ixan::CixanconfigDlg dialog(prompts, services);
    auto* address = dialog.findChild<QLineEdit*>(QStringLiteral("m_addressEdit"));
    if (address != nullptr) {
        address->setText(QStringLiteral("192.168.0.12"));
    }
    dialog.show();
    QTimer::singleShot(500, &dialog, [&] {
        int rc = 1;
        const QPixmap shot = dialog.grab();
        if (shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
            rc = 0;
        } else {
            std::cerr << "ixan-config-screenshot: cannot write " << argv[1] << "\n";
        }
        // exit(), not quit(): quit() would ask the dialog to close, which asks the
        // cancel question.
        QCoreApplication::exit(rc);
    });
    return app.exec();
}
