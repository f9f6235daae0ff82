#pragma once
// The export run behind the dialog's Export click. Header-only and for the program
// alone, which links Qt; the core stays free of it.

#include <QDate>
#include <QString>
#include <iostream>

#include "common/config.h"
#include "export/export_messages.h"
#include "export/export_run.h"
#include "export/ui/export_dialog.h"
#include "export/ui/export_runner.h"

namespace ixan::exporttool {

// An invalid QDate gives an invalid day, which the export run refuses with a message.
inline ExportDate toExportDate(const QDate& date) {
    return date.isValid() ? ExportDate{date.year(), date.month(), date.day()} : ExportDate{};
}

// The runner for dialog: the export run with the process configuration, its messages as
// message boxes owned by the dialog, the connection strings on standard output.
// REQUIRES: dialog outlives the runner.
inline ExportRunner makeDialogExportRunner(CEVexportDlg& dialog) {
    return [&dialog](const std::string& path, const QDate& from, const QDate& to) {
        FunctionMessages messages(
            [&dialog](const std::string& text) { dialog.showMessage(QString::fromUtf8(text)); });
        const ExportRequest request{processConfig().global, toExportDate(from), toExportDate(to),
                                    path};
        const ExportRunResult result = ExportEvents(request, messages, std::cout);
        return ExportOutcome{result.written};
    };
}

}  // namespace ixan::exporttool
