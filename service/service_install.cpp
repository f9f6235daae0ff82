#include "service/service_install.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace ixan {

namespace {

void waitForUser(std::istream& in, std::ostream& out) {
    out.flush();
    in.get();
}

}  // namespace

bool ownProgramPath(std::string& path, int& errorCode) {
    // Linux reports at most PATH_MAX; the buffer grows in case a path is longer.
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            errorCode = errno;
            return false;
        }
        if (static_cast<std::size_t>(n) < buf.size()) {
            path.assign(buf.data(), static_cast<std::size_t>(n));
            return true;
        }
        buf.resize(buf.size() * 2);
    }
}

bool installService(ServiceManager& manager, std::istream& in, std::ostream& out,
                    const ProgramPathFn& programPath) {
    out << "installing '" << kServiceName << "' as service...\n";
    if (!manager.open()) {
        out << "failed to open Service Manager!\n";
        waitForUser(in, out);
        return false;
    }
    ServiceRegistration registration;
    int errorCode = 0;
    if (!programPath(registration.programPath, errorCode)) {
        out << "GetModuleFileName failed (" << errorCode << ")\n" << std::flush;
        return false;
    }
    if (manager.serviceExists(kServiceName)) {
        out << "'" << kServiceName << "' is already installed as Win32 System service!\n";
        waitForUser(in, out);
        return true;
    }
    errorCode = 0;
    if (!manager.createService(registration, errorCode)) {
        out << "CreateService failed (ErrorCode: " << errorCode << ")\n" << std::flush;
        return false;
    }
    out << "system service '" << kServiceName << "' was created\n" << std::flush;
    return true;
}

bool uninstallService(ServiceManager& manager, std::istream& in, std::ostream& out) {
    out << "uninstalling system service '" << kServiceName << "'...\n";
    if (!manager.open()) {
        out << "failed to open Service Manager!\n";
        waitForUser(in, out);
        return false;
    }
    if (!manager.serviceExists(kServiceName)) {
        out << "\n'" << kServiceName << "' is not installed as Win32 System service!\n";
        waitForUser(in, out);
        return true;
    }
    // The unit file is opened and removed in one step; a registration that stays is
    // reported like a service that could not be opened, never as removed.
    if (!manager.deleteService(kServiceName)) {
        out << "failed to open service!\n";
        waitForUser(in, out);
        return false;
    }
    out << "system service '" << kServiceName << "' was removed\n" << std::flush;
    return true;
}

}  // namespace ixan
