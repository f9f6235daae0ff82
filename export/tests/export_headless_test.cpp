#include <gtest/gtest.h>

#include <sstream>

#include "common/tests/test_files.h"
#include "export/headless.h"

namespace ixan::exporttool {
namespace {

struct CommandCase {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // a part of standard error; "" = standard error empty
};

// The command line, in process; the settings store points at nothing, so an export that
// gets past the command line fails to connect.
TEST(HeadlessCommandLine, RefusesBadArgumentsWithAClearMessage) {
    ixan::test::TempDir dir;
    ixan::test::ScopedEnv registry("IXAN_REGISTRY", dir.file("registry"));
    const std::string f = dir.file("out.csv");
    const CommandCase cases[] = {
        // dates
        {{"--from", "2007-02-30", "--to", "2007-03-09", f},
         kExitUsage,
         "ixan-export: invalid date for --from: '2007-02-30'"},
        {{"--from", "2007-3-5", "--to", "2007-03-09", f}, kExitUsage, "invalid date for --from"},
        {{"--from", "2007-03-05", "--to", "20070309", f}, kExitUsage, "invalid date for --to"},
        {{"--from", "2007-13-01", "--to", "2007-03-09", f}, kExitUsage, "invalid date for --from"},
        {{"--from", "", "--to", "2007-03-09", f}, kExitUsage, "invalid date for --from: ''"},
        // missing pieces
        {{}, kExitUsage, "missing --from"},
        {{"--to", "2007-03-09", f}, kExitUsage, "missing --from YYYY-MM-DD"},
        {{"--from", "2007-03-05", f}, kExitUsage, "missing --to YYYY-MM-DD"},
        {{"--from", "2007-03-05", "--to", "2007-03-09"}, kExitUsage, "missing FILE"},
        {{"--from", "2007-03-05", "--to"}, kExitUsage, "option --to needs a date"},
        // too much or unknown
        {{"--from", "2007-03-05", "--to", "2007-03-09", f, "second.csv"},
         kExitUsage,
         "more than one FILE given"},
        {{"--from", "2007-03-05", "--from", "2007-03-06", "--to", "2007-03-09", f},
         kExitUsage,
         "option --from given twice"},
        {{"--frobnicate", f}, kExitUsage, "unknown option '--frobnicate'"},
        {{"-x", f}, kExitUsage, "unknown option '-x'"},
        {{"--help=yes"}, kExitUsage, "unknown option '--help'"},
        // past the command line
        {{"--from", "2007-03-10", "--to", "2007-03-09", f},
         kExitFailed,
         "ixan-export: Das Startdatum darf nicht nach dem Enddatum liegen.\n"},
        {{"--from", "2007-03-05", "--to", "2007-03-09", f},
         kExitFailed,
         "ixan-export: Beim Verbinden zur Datenbank ist ein Fehler aufgetreten.\n"},
        {{"--", "--from", "2007-03-05", "--to", "2007-03-09"},
         kExitUsage,
         "more than one FILE given"},
    };
    for (const CommandCase& c : cases) {
        std::ostringstream out, err;
        const int code = runHeadlessExport(c.args, out, err);
        std::string line;
        for (const auto& a : c.args) {
            line += " '" + a + "'";
        }
        EXPECT_EQ(code, c.exitCode) << line << "\n" << err.str();
        EXPECT_NE(err.str().find(c.err), std::string::npos)
            << line << "\nexpected: " << c.err << "\nactual: " << err.str();
        if (c.exitCode == kExitUsage) {
            EXPECT_NE(err.str().find("Try 'ixan-export --help'"), std::string::npos) << line;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(f));
}

TEST(HeadlessCommandLine, HelpGoesToStandardOutput) {
    std::ostringstream out, err;
    EXPECT_EQ(runHeadlessExport({"--help"}, out, err), kExitWritten);
    EXPECT_EQ(err.str(), "");
    EXPECT_NE(out.str().find("usage: ixan-export --from YYYY-MM-DD --to YYYY-MM-DD FILE"),
              std::string::npos);
    std::ostringstream vout, verr;
    EXPECT_EQ(runHeadlessExport({"--version"}, vout, verr), kExitWritten);
    EXPECT_EQ(vout.str().rfind("ixan-export ", 0), 0u);
}

}  // namespace
}  // namespace ixan::exporttool
