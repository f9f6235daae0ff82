#include "export/ui/export_resources.h"

#include <QAction>
#include <QMenu>

#include "export/ui/dialog_services.h"
#include "export/ui/tray_dialog.h"

// The resource file is compiled into this static library; it is registered on first use.
static void initExportResources() {
    Q_INIT_RESOURCE(export_ui);
}

namespace ixan {

namespace {

void ensureResources() {
    static const bool registered = [] {
        initExportResources();
        return true;
    }();
    (void)registered;
}

}  // namespace

QIcon loadIconGroup(const QStringList& files) {
    QIcon icon;
    for (const QString& file : files) {
        const QPixmap image(file);
        if (!image.isNull()) {
            icon.addPixmap(image);
        }
    }
    return icon;
}

QIcon exportIcon() {
    ensureResources();
    return loadIconGroup({QStringLiteral(":/ixan-export/icon161-16.png"),
                          QStringLiteral(":/ixan-export/icon161-32.png"),
                          QStringLiteral(":/ixan-export/icon161-48.png")});
}

QPixmap exportLogo() {
    ensureResources();
    return QPixmap(QStringLiteral(":/ixan-export/bitmap1001.png"));
}

std::unique_ptr<QMenu> makeTrayMenu() {
    auto menu = std::make_unique<QMenu>();
    QMenu* popup = menu->addMenu(QString::fromUtf8(kTrayMenuTitle));
    QAction* quit = popup->addAction(QString::fromUtf8(kTrayMenuQuitText));
    quit->setData(kIdCancel);
    return menu;
}

SaveFileRequest exportSaveRequest() {
    SaveFileRequest request;
    request.defaultSuffix = QString::fromUtf8(kDefaultSuffix);
    request.nameFilters = {QString::fromUtf8(kExcelFilter), QString::fromUtf8(kCsvFilter)};
    request.selectedFilter = 0;
    request.confirmOverwrite = true;
    return request;
}

}  // namespace ixan
