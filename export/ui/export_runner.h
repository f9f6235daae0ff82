#pragma once
// The export run as the main dialog sees it: one call per Export click, after the
// operator chose the target file.

#include <QDate>
#include <functional>
#include <string>

namespace ixan {

struct ExportOutcome {
    // True only when the target file was written. On false the runner has already
    // shown its own message for the failure.
    bool written = false;
};

// path: the full target path in the file system's encoding. from, to: the range of
// calendar days, inclusive at both ends. Runs synchronously on the dialog's thread;
// an exception it lets out is shown by the dialog and counts as not written.
using ExportRunner =
    std::function<ExportOutcome(const std::string& path, const QDate& from, const QDate& to)>;

}  // namespace ixan
