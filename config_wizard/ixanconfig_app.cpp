#include "config_wizard/ixanconfig_app.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "common/config.h"
#include "common/registry.h"
#include "config_wizard/ixanconfig_dlg.h"

namespace ixan {

void loadStartupConfiguration(WizardPrompts& prompts) {
    std::string message;
    loadConfig(processConfig(), readRegistryValue("path"), ConfigReader::Wizard,
               [&](const std::string& text) { message = text; });
    if (!message.empty()) {
        prompts.showMessage(nullptr, QString::fromLatin1(kWizardAppName),
                            QString::fromStdString(message));
    }
}

CixanconfigApp::CixanconfigApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(kWizardAppName));
}

int CixanconfigApp::InitInstance(WizardPrompts& prompts, ServiceManager& services) {
    // The buttons of the standard dialogs in the desktop's language, where Qt ships it.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(&qtTexts);
    }
    loadStartupConfiguration(prompts);
    CixanconfigDlg dialog(prompts, services);
    dialog.exec();
    removeTranslator(&qtTexts);
    return 0;
}

}  // namespace ixan
