#include "export/export_run.h"

#include <cstdio>
#include <memory>

#include "export/export_database.h"
#include "export/export_writers.h"

namespace ixan::exporttool {
namespace {

// "#MM/DD/YYYY " : the Access date literal's day part.
std::string accessDay(const ExportDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "#%02d/%02d/%04d ", date.month, date.day, date.year);
    return text;
}

}  // namespace

bool isValidDate(const ExportDate& date) {
    if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1) {
        return false;
    }
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
    const int last = kDays[date.month - 1] + (date.month == 2 && leap ? 1 : 0);
    return date.day <= last;
}

std::string buildExportStatement(const std::string& select, const ExportDate& from,
                                 const ExportDate& to) {
    return select + " WHERE Z_servicelog.Datum>=" + accessDay(from) +
           "00:00:00# AND Z_servicelog.Datum<=" + accessDay(to) + "23:59:59#;";
}

ExportRunResult ExportEvents(const ExportRequest& request, ExportMessages& messages,
                             std::ostream& out, const DbTimeouts& timeouts) {
    ExportRunResult result;
    if (!isValidDate(request.from) || !isValidDate(request.to)) {
        messages.show(kMsgInvalidDate);
        return result;
    }
    if (request.from > request.to) {
        // Such a range holds no events; an empty file would look like a successful export.
        messages.show(kMsgStartAfterEnd);
        return result;
    }
    EventDatabase db(messages, out, timeouts);
    const GlobalSettings& settings = request.settings;
    if (!db.connect(settings.dsn, settings.user, settings.pass)) {
        messages.show(kMsgConnectFailed);
        return result;
    }
    const std::string statement = buildExportStatement(settings.select, request.from, request.to);
    std::unique_ptr<ResultSet> rows = db.openQuery(statement);
    if (!rows) {
        messages.show(std::string(kMsgQueryFailed) + "\n" + db.lastError());
        return result;
    }
    WriterContext context{messages, settings.sql, out};
    const WriteOutcome outcome = ChooseWriter(*rows, request.path, context);
    rows.reset();  // before the connection it was made from
    result.written = outcome.written;
    result.rowsRead = outcome.rowsRead;
    result.rowsNotWritten = outcome.rowsNotWritten;
    result.rowsRefused = outcome.rowsRefused;
    return result;
}

}  // namespace ixan::exporttool
