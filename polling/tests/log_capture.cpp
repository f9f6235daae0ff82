#include "polling/tests/log_capture.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "common/config.h"

namespace ixan::test {

namespace {
constexpr std::size_t kStampLength = 20;  // "YYYY-MM-DD HH:MM:SS "
}

LogCapture::LogCapture() {
    std::string pattern = "/tmp/ixan-polling-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = pattern;
    path_ = dir_ + "/activity.log";
    previous_ = processConfig().global.log;
    processConfig().global.log = path_;
}

LogCapture::~LogCapture() {
    processConfig().global.log = previous_;
    ::unlink(path_.c_str());
    ::rmdir(dir_.c_str());
}

std::vector<std::string> LogCapture::messages() const {
    std::ifstream in(path_, std::ios::binary);
    std::vector<std::string> result;
    std::string line;
    while (std::getline(in, line)) {
        result.push_back(line.size() >= kStampLength ? line.substr(kStampLength) : line);
    }
    return result;
}

}  // namespace ixan::test
