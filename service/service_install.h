#pragma once
// The installService and uninstallService commands: console dialogue around the
// service manager. Messages go to out; where the command waits for the user, one
// character is read from in (after out has been flushed).

#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "service/service_manager.h"

namespace ixan {

// The full path of the running program; false with errno in errorCode when it cannot
// be found.
bool ownProgramPath(std::string& path, int& errorCode);

using ProgramPathFn = std::function<bool(std::string& path, int& errorCode)>;

// true when the service "IXAN" is registered afterwards (newly or already), false on
// any failure.
bool installService(ServiceManager& manager, std::istream& in, std::ostream& out,
                    const ProgramPathFn& programPath = ownProgramPath);

// true when the service "IXAN" is absent afterwards (removed or never installed).
bool uninstallService(ServiceManager& manager, std::istream& in, std::ostream& out);

}  // namespace ixan
