#include "common/activity_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/config.h"
#include "common/unique_fd.h"

namespace ixan {

std::string padNumber(std::int32_t number) {
    std::string digits = std::to_string(number);
    return number < 10 ? "0" + digits : digits;
}

std::string formatLogStamp(const std::tm& local) {
    return padNumber(local.tm_year + 1900) + "-" + padNumber(local.tm_mon + 1) + "-" +
           padNumber(local.tm_mday) + " " + padNumber(local.tm_hour) + ":" +
           padNumber(local.tm_min) + ":" + padNumber(local.tm_sec);
}

void appendLogLine(const std::string& path, std::string_view message) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);

    std::string line = formatLogStamp(local);
    line += ' ';
    line.append(message);
    line += '\n';

    if (path.empty()) {
        return;
    }
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640));
    if (!fd) {
        return;
    }
    // One write per line: O_APPEND keeps lines of concurrent writers whole.
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), data, left);
        if (n <= 0) {
            return;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
}

void logActivity(std::string_view message) {
    appendLogLine(processConfig().global.log, message);
}

}  // namespace ixan
