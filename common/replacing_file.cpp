#include "common/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>

namespace ixan {
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

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};

}  // namespace

ReplacingFile::ReplacingFile(std::string path, const ReplacingFileOptions& options)
    : target_(std::move(path)) {
    if (!open(options)) {
        discard();
    }
}

ReplacingFile::~ReplacingFile() {
    discard();
}

bool ReplacingFile::open(const ReplacingFileOptions& options) {
    if (target_.empty() || target_.back() == '/') {
        fail(ReplacingFileStep::Name, "", 0, target_);
        return false;
    }
    struct stat info {};
    if (options.followSymlink && ::lstat(target_.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        const std::unique_ptr<char, FreeDeleter> real(::realpath(target_.c_str(), nullptr));
        if (!real) {
            fail(ReplacingFileStep::ResolveLink, "realpath", errno, target_);
            return false;
        }
        target_ = real.get();
    }
    const bool hadOld = ::stat(target_.c_str(), &info) == 0;
    if (options.refuseUnwritable && hadOld) {
        if (!S_ISREG(info.st_mode)) {
            fail(ReplacingFileStep::NotRegular, "", 0, target_);
            return false;
        }
        if (::access(target_.c_str(), W_OK) != 0) {
            fail(ReplacingFileStep::Access, "access", errno, target_);
            return false;
        }
    }
    const bool keep = hadOld && S_ISREG(info.st_mode);
    const bool keepMode = keep && options.keepMode;
    const bool setMode = options.exactMode || keepMode;
    const mode_t mode = keepMode ? (info.st_mode & 07777) : options.newFileMode;

    folder_ = folderOf(target_);
    const std::string prefix = (folder_ == "/" ? "" : folder_) + "/." + baseName(target_) + ".";
    if (setMode) {
        // Starts as an owner-only file; the mode is set below.
        tempPath_ = prefix + "XXXXXX";
        fd_.reset(::mkostemp(tempPath_.data(), O_CLOEXEC));
        if (!fd_) {
            fail(ReplacingFileStep::Create, "mkstemp", errno, tempPath_);
            tempPath_.clear();
            return false;
        }
    } else {
        // open() rather than mkostemp(), so that the umask applies to the mode.
        std::random_device seed;
        std::mt19937_64 random(seed());
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            tempPath_ = prefix + std::to_string(random() % 1000000000) + ".tmp";
            fd_.reset(::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                             options.newFileMode));
            error = fd_ ? 0 : errno;
        }
        if (!fd_) {
            fail(ReplacingFileStep::Create, "open", error, tempPath_);
            tempPath_.clear();
            return false;
        }
    }
    if (keep && options.keepOwner) {
        // Best effort: an unprivileged process keeps its own owner.
        if (::fchown(fd_.get(), info.st_uid, info.st_gid) != 0) {
            [[maybe_unused]] const int ignored =
                ::fchown(fd_.get(), static_cast<uid_t>(-1), info.st_gid);
        }
    }
    // After fchown, which may clear the set-id bits.
    if (setMode && ::fchmod(fd_.get(), mode) != 0) {
        fail(ReplacingFileStep::Mode, "fchmod", errno, tempPath_);
        return false;
    }
    buffer_.reserve(kBufferBytes);
    return true;
}

void ReplacingFile::fail(ReplacingFileStep step, const char* call, int errorNumber,
                         std::string path) {
    if (!failed()) {
        failure_ = ReplacingFileFailure{step, call, errorNumber, std::move(path)};
    }
}

std::string ReplacingFile::error() const {
    switch (failure_.step) {
        case ReplacingFileStep::None:
            return {};
        case ReplacingFileStep::Name:
            return failure_.path.empty() ? "no file name given"
                                         : "'" + failure_.path + "' is not a file name";
        case ReplacingFileStep::NotRegular:
            return failure_.path + " is not a regular file";
        case ReplacingFileStep::Rename:
            return std::string("rename ") + failure_.path + " -> " + target_ + ": " +
                   std::strerror(failure_.errorNumber);
        default:
            return std::string(failure_.call) + " " + failure_.path + ": " +
                   std::strerror(failure_.errorNumber);
    }
}

bool ReplacingFile::flushBuffer() {
    if (!fd_ || failed()) {
        return false;
    }
    if (!writeAll(fd_.get(), buffer_)) {
        fail(ReplacingFileStep::Write, "write", errno, tempPath_);
        return false;
    }
    buffer_.clear();
    return true;
}

bool ReplacingFile::write(std::string_view data) {
    if (!fd_ || failed()) {
        return false;
    }
    if (buffer_.size() + data.size() > kBufferBytes && !flushBuffer()) {
        return false;
    }
    if (data.size() >= kBufferBytes) {
        if (!writeAll(fd_.get(), data)) {
            fail(ReplacingFileStep::Write, "write", errno, tempPath_);
            return false;
        }
        return true;
    }
    buffer_.append(data);
    return true;
}

bool ReplacingFile::write(std::span<const std::uint8_t> data) {
    return write(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

bool ReplacingFile::commit() {
    if (!fd_ || !flushBuffer()) {
        discard();
        return false;
    }
    if (::fsync(fd_.get()) != 0) {
        fail(ReplacingFileStep::Sync, "fsync", errno, tempPath_);
    } else if (::close(fd_.release()) != 0) {
        fail(ReplacingFileStep::Close, "close", errno, tempPath_);
    } else if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        fail(ReplacingFileStep::Rename, "rename", errno, tempPath_);
    }
    if (failed()) {
        discard();
        return false;
    }
    tempPath_.clear();
    // Makes the rename itself durable; the file is complete either way.
    const UniqueFd dir(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) {
        ::fsync(dir.get());
    }
    return true;
}

void ReplacingFile::discard() {
    fd_.reset();
    buffer_.clear();
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

}  // namespace ixan
