#pragma once
// The export tool without its window, for scripts and cron:
//   ixan-export --from YYYY-MM-DD --to YYYY-MM-DD FILE
// FILE's last three characters choose the format as in the dialog (xls or csv).

#include <iosfwd>
#include <string>
#include <vector>

namespace ixan::exporttool {

inline constexpr int kExitWritten = 0;
inline constexpr int kExitFailed = 1;  // the export ran and wrote nothing
inline constexpr int kExitUsage = 2;   // bad command line

// args: the arguments after the program name. Loads the settings store's "path" and the
// configuration into the process configuration, then runs the export. The export's
// messages and every error go to err, the connection strings and a summary to out.
// Returns kExitWritten only when the file was written.
int runHeadlessExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The same for main(argc, argv).
int runHeadlessExport(int argc, char** argv);

}  // namespace ixan::exporttool
