#include "service/systemd_service_manager.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/replacing_file.h"
#include "service/run_program.h"

namespace ixan {

namespace {

std::string environmentOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? std::string(value) : std::string(fallback);
}

// systemd expands specifiers (%) and variables ($) in ExecStart, and splits at blanks.
std::string execStartValue(const std::string& path) {
    bool quote = false;
    std::string escaped;
    for (char c : path) {
        switch (c) {
            case '%':
                escaped += "%%";
                break;
            case '$':
                escaped += "$$";
                break;
            case '\\':
                escaped += "\\\\";
                quote = true;
                break;
            case '"':
                escaped += "\\\"";
                quote = true;
                break;
            case '\n':
                escaped += "\\n";
                quote = true;
                break;
            case '\r':
                escaped += "\\r";
                quote = true;
                break;
            case '\t':
                escaped += "\\t";
                quote = true;
                break;
            case ' ':
            case '\'':
                escaped += c;
                quote = true;
                break;
            default:
                escaped += c;
        }
    }
    // A leading @, -, :, +, ! would be read as an ExecStart prefix.
    if (!path.empty() && std::string_view("@-:+!").find(path.front()) != std::string_view::npos) {
        quote = true;
    }
    return quote ? "\"" + escaped + "\"" : escaped;
}

// Unit file texts are single lines; a line end inside would start a new setting.
std::string singleLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += (c == '\n' || c == '\r') ? ' ' : c;
    }
    return out;
}

// Writes path through a temporary file in the same folder; 0 or the errno of the
// failed step. On failure the temporary file is gone and path is untouched.
int replaceFile(const std::string& path, const std::string& content) {
    ReplacingFile file(path, ReplacingFileOptions{.newFileMode = 0644, .exactMode = true});
    if (file.write(content) && file.commit()) {
        return 0;
    }
    const int error = file.failure().errorNumber;
    return error != 0 ? error : EINVAL;
}

}  // namespace

SystemdSettings systemdSettingsFromEnvironment() {
    SystemdSettings s;
    s.unitDir = environmentOr(kUnitDirEnv, kDefaultUnitDir);
    s.systemctl = environmentOr(kSystemctlEnv, kDefaultSystemctl);
    return s;
}

std::string unitFileName(const std::string& serviceName) {
    return serviceName + ".service";
}

std::string unitFileText(const ServiceRegistration& registration) {
    return "[Unit]\n"
           "Description=" +
           singleLine(registration.displayName) +
           "\n"
           "Wants=network-online.target\n"
           "After=network-online.target\n"
           "\n"
           "[Service]\n"
           "Type=notify\n"
           "ExecStart=" +
           execStartValue(registration.programPath) +
           "\n"
           "User=root\n"
           "StandardOutput=null\n"
           "StandardError=journal\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

SystemdServiceManager::SystemdServiceManager(SystemdSettings settings)
    : settings_(std::move(settings)) {}

std::string SystemdServiceManager::unitPath(const std::string& name) const {
    return settings_.unitDir + "/" + unitFileName(name);
}

bool SystemdServiceManager::open() {
    if (!runProgram({settings_.systemctl, "show-environment"}).succeeded()) {
        return false;
    }
    struct stat st {};
    return ::stat(settings_.unitDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(settings_.unitDir.c_str(), W_OK | X_OK) == 0;
}

bool SystemdServiceManager::serviceExists(const std::string& name) {
    struct stat st {};
    return ::lstat(unitPath(name).c_str(), &st) == 0;
}

bool SystemdServiceManager::createService(const ServiceRegistration& registration, int& errorCode) {
    const std::string path = unitPath(registration.name);
    errorCode = replaceFile(path, unitFileText(registration));
    if (errorCode != 0) {
        return false;
    }
    const std::string unit = unitFileName(registration.name);
    for (const std::vector<std::string>& call :
         {std::vector<std::string>{"daemon-reload"}, std::vector<std::string>{"enable", unit}}) {
        std::vector<std::string> argv{settings_.systemctl};
        argv.insert(argv.end(), call.begin(), call.end());
        const ProgramResult r = runProgram(argv);
        if (!r.succeeded()) {
            errorCode = r.started ? r.exitStatus : r.startError;
            // No half registration: an installed but not enabled unit would count as
            // installed on the next try.
            ::unlink(path.c_str());
            runProgram({settings_.systemctl, "daemon-reload"});
            return false;
        }
    }
    return true;
}

bool SystemdServiceManager::deleteService(const std::string& name) {
    const std::string path = unitPath(name);
    runProgram({settings_.systemctl, "disable", unitFileName(name)});
    const bool removed = ::unlink(path.c_str()) == 0 || errno == ENOENT;
    runProgram({settings_.systemctl, "daemon-reload"});
    return removed;
}

bool SystemdServiceManager::stopService(const std::string& name) {
    return runProgram({settings_.systemctl, "stop", unitFileName(name)}).succeeded();
}

bool SystemdServiceManager::startService(const std::string& name) {
    return runProgram({settings_.systemctl, "start", unitFileName(name)}).succeeded();
}

std::unique_ptr<ServiceManager> makeSystemdServiceManager() {
    return std::make_unique<SystemdServiceManager>();
}

}  // namespace ixan
