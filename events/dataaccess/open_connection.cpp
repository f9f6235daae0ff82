#include <vector>

#include "events/dataaccess/connection.h"
#include "events/dataaccess/connection_string.h"
#include "events/dataaccess/odbc_connection.h"
#include "events/dataaccess/spreadsheet_connection.h"
#include "events/dataaccess/sqlite_connection.h"

namespace ixan {

OpenResult openConnection(const std::string& connectionString, const DbTimeouts& timeouts) {
    const std::vector<ConnectionAttribute> attrs = parseConnectionString(connectionString);
    switch (classifyConnectionString(attrs)) {
        case DriverKind::AccessFile:
            return SqliteConnection::openFile(findConnectionAttribute(attrs, "Dbq").value_or(""),
                                              timeouts);
        case DriverKind::Spreadsheet: {
            std::string error;
            const std::string path = spreadsheetPath(connectionString, error);
            if (path.empty()) {
                return {DbStatus::failure(error), nullptr};
            }
            return openSpreadsheetConnection(path);
        }
        case DriverKind::Odbc:
            break;
    }
    return openOdbcConnection(connectionString, timeouts);
}

}  // namespace ixan
