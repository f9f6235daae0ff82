#include "export/export_writers.h"

#include <cstring>
#include <ostream>

#include "common/replacing_file.h"
#include "events/xls/xls_writer.h"
#include "export/csv_line.h"
#include "export/export_database.h"

namespace ixan::exporttool {

const char* const kCreateSheetStatement =
    "CREATE TABLE Z_servicelog (`Adresse IXAN` TEXT,`Datum/Zeit` TEXT,`Türname` TEXT,"
    "`Auslöser` TEXT,`Ereignis` TEXT,`Name` TEXT,`Merkmal` TEXT,`Zugangsmodul` TEXT)";

namespace {

// Why a CSV file could not be written, for the operator's message.
std::string csvFileError(const ReplacingFile& file) {
    const ReplacingFileFailure& why = file.failure();
    const std::string system = std::strerror(why.errorNumber);
    switch (why.step) {
        case ReplacingFileStep::Name:
            return "not a file name";
        case ReplacingFileStep::Create:
            return "cannot create a file in '" + file.folder() + "': " + system;
        case ReplacingFileStep::Rename:
            return "cannot put the file in place: " + system;
        default:
            return "write failed: " + system;
    }
}

void showReadFailure(ExportMessages& messages, const DbStatus& status) {
    messages.show(std::string(kMsgReadFailed) + "\n" + status.message);
}

// Ends the target connection without writing a workbook: without its table the driver
// writes nothing, so an old file at the path stays.
void discardWorkbook(EventDatabase& target) {
    if (Connection* c = target.connection()) {
        c->rollback();  // a DROP inside the open transaction would be undone by the close
        c->execute("DROP TABLE IF EXISTS Z_servicelog");
    }
    target.close();
}

std::string lastThreeLower(const std::string& path) {
    std::string tail = path.size() > 3 ? path.substr(path.size() - 3) : path;
    for (char& c : tail) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return tail;
}

}  // namespace

std::string spreadsheetConnectionString(const std::string& path) {
    return "DRIVER={MICROSOFT EXCEL DRIVER (*.XLS)};DSN='';FIRSTROWHASNAMES=1;READONLY=FALSE;"
           "CREATE_DB=\"" +
           path + "\";DBQ=" + path;
}

WriteOutcome ChooseWriter(ResultSet& rows, const std::string& path, WriterContext& context) {
    const std::string type = lastThreeLower(path);
    if (type == "csv") {
        return WriteCsv(rows, path, context);
    }
    if (type == "xls") {
        return WriteSpreadsheet(rows, path, context);
    }
    context.messages.show(fileTypeMessage(path));
    return {};
}

WriteOutcome WriteSpreadsheet(ResultSet& rows, const std::string& path, WriterContext& context) {
    WriteOutcome outcome;
    // No deletion of an old file first: the driver renames the complete workbook over it.
    EventDatabase target(context.messages, context.out);
    if (!target.connectString(spreadsheetConnectionString(path))) {
        context.messages.show(kMsgTargetOpenFailed);
        return outcome;
    }
    if (!target.execute(kCreateSheetStatement)) {
        context.messages.show(kMsgTargetWriteFailed);
        discardWorkbook(target);
        return outcome;
    }
    target.execute("DELETE FROM Z_servicelog");
    // One transaction around the row inserts saves the engine a commit per row; a refused
    // insert inside it affects no other row.
    const bool inTransaction = target.connection()->beginTransaction().ok;

    // Rows beyond the sheet's limit are counted, not inserted: the table stays as small
    // as the sheet.
    std::size_t inserted = 0;
    std::size_t beyondLimit = 0;
    EventRow row;
    while (!rows.atEnd()) {
        DbStatus got = readEventRow(rows, row);
        if (got.ok) {
            ++outcome.rowsRead;
            if (inserted >= kXlsMaxDataRows) {
                ++beyondLimit;
            } else if (target.insertRow(row, context.sqlTemplate)) {
                ++inserted;
            } else {
                ++outcome.rowsRefused;
            }
            got = rows.next();
        }
        if (!got.ok) {
            showReadFailure(context.messages, got);
            discardWorkbook(target);
            return outcome;
        }
    }

    if (inTransaction) {
        if (const DbStatus committed = target.connection()->commit(); !committed.ok) {
            context.messages.show(std::string(kMsgTargetWriteFailed) + "\n" + committed.message);
            discardWorkbook(target);
            return outcome;
        }
    }
    const DbCloseResult closed = target.close();
    if (!closed.status.ok) {
        context.messages.show(std::string(kMsgTargetWriteFailed) + "\n" + closed.status.message);
        return outcome;
    }
    outcome.written = true;
    outcome.rowsNotWritten = beyondLimit + closed.rowsNotWritten;
    if (outcome.rowsNotWritten > 0) {
        context.messages.show(rowLimitMessage(outcome.rowsNotWritten));
    }
    if (outcome.rowsRefused > 0) {
        context.messages.show(rowsRefusedMessage(outcome.rowsRefused));
    }
    if (closed.rowsNotWritten == 0 && !closed.notes.empty()) {
        // With the rows capped above, the driver's notes can only be about texts it cut.
        context.messages.show(kMsgTextsCut);
    }
    return outcome;
}

WriteOutcome WriteCsv(ResultSet& rows, const std::string& path, WriterContext& context) {
    WriteOutcome outcome;
    // A replaced CSV keeps the old file's permissions.
    ReplacingFile file(path, ReplacingFileOptions{.keepMode = true});
    const auto showFileError = [&] {
        context.messages.show(kMsgCsvCannotWrite + path + " (" + csvFileError(file) + ")");
    };
    if (!file.isOpen()) {
        showFileError();
        return outcome;
    }
    EventRow row;
    std::string line;
    while (!rows.atEnd()) {
        DbStatus got = readEventRow(rows, row);
        if (got.ok) {
            ++outcome.rowsRead;
            line.clear();
            appendCsvLine(row, line);
            if (!file.write(line)) {
                showFileError();
                return outcome;
            }
            got = rows.next();
        }
        if (!got.ok) {
            showReadFailure(context.messages, got);
            return outcome;
        }
    }
    if (!file.commit()) {
        showFileError();
        return outcome;
    }
    outcome.written = true;
    return outcome;
}

}  // namespace ixan::exporttool
