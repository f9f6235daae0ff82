#include "events/xls/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "common/unique_fd.h"

namespace ixan {
namespace {

std::string errnoText(int error) {
    return std::strerror(error);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, std::span<const std::uint8_t> data) {
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
        data = data.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates a file of a name nobody else uses in `folder`.
UniqueFd createTemporary(const std::string& folder, std::string& tempPath, int& error) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "/.ixan-" + std::to_string(random() % 1000000000) + ".tmp";
        UniqueFd fd(::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd || errno != EEXIST) {
            error = errno;
            return fd;
        }
    }
    error = EEXIST;
    return UniqueFd();
}

}  // namespace

std::string replaceFileContents(const std::string& path,
                                const std::vector<std::span<const std::uint8_t>>& parts) {
    const std::string failure = "cannot write '" + path + "': ";
    if (path.empty() || path.back() == '/') {
        return failure + "not a file name";
    }
    const std::string folder = folderOf(path);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT) {
            return failure + "the folder '" + folder + "' does not exist";
        }
        return failure + "the folder '" + folder + "' cannot be used: " + errnoText(error);
    }
    if (!S_ISDIR(info.st_mode)) {
        return failure + "'" + folder + "' is not a folder";
    }

    std::string tempPath;
    int error = 0;
    UniqueFd fd = createTemporary(folder, tempPath, error);
    if (!fd) {
        return failure + "cannot create a file in '" + folder + "': " + errnoText(error);
    }

    std::string problem;
    for (std::span<const std::uint8_t> part : parts) {
        if (!writeAll(fd.get(), part)) {
            problem = errnoText(errno);
            break;
        }
    }
    if (problem.empty() && ::fsync(fd.get()) != 0) {
        problem = errnoText(errno);
    }
    if (problem.empty() && ::close(fd.release()) != 0) {
        problem = errnoText(errno);
    }
    fd.reset();
    if (problem.empty() && ::rename(tempPath.c_str(), path.c_str()) != 0) {
        problem = errnoText(errno);
    }
    if (!problem.empty()) {
        ::unlink(tempPath.c_str());
        return failure + problem;
    }

    // Make the rename itself durable; the file is complete either way.
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) {
        ::fsync(dir.get());
    }
    return {};
}

}  // namespace ixan
