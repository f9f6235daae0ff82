#include "events/xls/replace_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "common/replacing_file.h"

namespace ixan {

std::string replaceFileContents(const std::string& path,
                                const std::vector<std::span<const std::uint8_t>>& parts) {
    const std::string failure = "cannot write '" + path + "': ";
    if (path.empty() || path.back() == '/') {
        return failure + "not a file name";
    }
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT) {
            return failure + "the folder '" + folder + "' does not exist";
        }
        return failure + "the folder '" + folder + "' cannot be used: " + std::strerror(error);
    }
    if (!S_ISDIR(info.st_mode)) {
        return failure + "'" + folder + "' is not a folder";
    }

    ReplacingFile file(path);
    for (std::span<const std::uint8_t> part : parts) {
        if (!file.write(part)) {
            break;
        }
    }
    if (file.commit()) {
        return {};
    }
    const ReplacingFileFailure& why = file.failure();
    if (why.step == ReplacingFileStep::Create) {
        return failure + "cannot create a file in '" + folder +
               "': " + std::strerror(why.errorNumber);
    }
    return failure + std::strerror(why.errorNumber);
}

}  // namespace ixan
