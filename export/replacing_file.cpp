#include "export/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace ixan::exporttool {
namespace {

constexpr std::size_t kBufferBytes = 256 * 1024;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
    if (path_.empty() || path_.back() == '/') {
        error_ = "not a file name";
        return;
    }
    folder_ = folderOf(path_);
    std::random_device seed;
    std::mt19937_64 random(seed());
    int errnum = EEXIST;
    for (int attempt = 0; attempt < 100 && errnum == EEXIST; ++attempt) {
        tempPath_ =
            folder_ + "/." + baseName(path_) + "." + std::to_string(random() % 1000000000) + ".tmp";
        fd_.reset(::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        errnum = fd_ ? 0 : errno;
    }
    if (!fd_) {
        tempPath_.clear();
        fail("cannot create a file in '" + folder_ + "'", errnum);
        return;
    }
    // A replaced file keeps its permissions.
    struct stat old {};
    if (::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd_.get(), old.st_mode & 07777);
    }
    buffer_.reserve(kBufferBytes);
}

ReplacingFile::~ReplacingFile() {
    discard();
}

void ReplacingFile::fail(const std::string& what, int errnum) {
    if (error_.empty()) {
        error_ = what + ": " + std::strerror(errnum);
    }
}

bool ReplacingFile::flushBuffer() {
    if (!fd_ || !error_.empty()) {
        return false;
    }
    if (!writeAll(fd_.get(), buffer_)) {
        fail("write failed", errno);
        return false;
    }
    buffer_.clear();
    return true;
}

bool ReplacingFile::write(std::string_view data) {
    if (!fd_ || !error_.empty()) {
        return false;
    }
    if (buffer_.size() + data.size() > kBufferBytes && !flushBuffer()) {
        return false;
    }
    if (data.size() >= kBufferBytes) {
        if (!writeAll(fd_.get(), data)) {
            fail("write failed", errno);
            return false;
        }
        return true;
    }
    buffer_.append(data);
    return true;
}

bool ReplacingFile::commit() {
    if (!fd_ || !flushBuffer()) {
        discard();
        return false;
    }
    if (::fsync(fd_.get()) != 0) {
        fail("write failed", errno);
    } else if (::close(fd_.release()) != 0) {
        fail("write failed", errno);
    } else if (::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        fail("cannot put the file in place", errno);
    }
    if (!error_.empty()) {
        discard();
        return false;
    }
    tempPath_.clear();
    // Makes the rename itself durable; the file is complete either way.
    UniqueFd dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) {
        ::fsync(dir.get());
    }
    return true;
}

void ReplacingFile::discard() {
    fd_.reset();
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

}  // namespace ixan::exporttool
