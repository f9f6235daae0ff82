#pragma once
// The ODBC driver: any connection string that names neither the Access nor the Excel
// driver goes to unixODBC as it stands. Access date literals become {ts '...'}; values are
// read as the driver renders them as text (SQL_C_CHAR), in the driver's encoding.

#include <string>

#include "events/dataaccess/connection.h"

namespace ixan {

// SQLDriverConnect without prompting, login time-out before the connect, query time-out on
// every statement. A failed connect carries the diagnostic records, each as
// "[SQLSTATE] message".
OpenResult openOdbcConnection(const std::string& connectionString, const DbTimeouts& timeouts);

}  // namespace ixan
