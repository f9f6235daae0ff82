#pragma once
// A file written to a temporary file in the target's folder and renamed over the target
// when complete, so readers see either the old file or the whole new one.

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/unique_fd.h"

namespace ixan {

struct ReplacingFileOptions {
    // Mode of a file that did not exist. The umask applies unless exactMode is set.
    mode_t newFileMode = 0666;
    bool exactMode = false;
    // A replaced regular file passes its mode (and, where the process may set them,
    // its owner and group) on to the new file.
    bool keepMode = false;
    bool keepOwner = false;
    // Whether a symbolic link at the target is followed (its target is replaced) or
    // replaced itself.
    bool followSymlink = false;
    // Whether an existing target that is not a regular file or that the process may not
    // write is refused before anything is created.
    bool refuseUnwritable = false;
};

// The step of the replacement that failed.
enum class ReplacingFileStep {
    None,
    Name,         // the path names no file
    ResolveLink,  // the symbolic link at the target cannot be resolved
    NotRegular,   // the existing target is not a regular file
    Access,       // the process may not write the existing target
    Create,       // the temporary file cannot be created
    Mode,         // the temporary file's mode cannot be set
    Write,
    Sync,
    Close,
    Rename,
};

struct ReplacingFileFailure {
    ReplacingFileStep step = ReplacingFileStep::None;
    const char* call = "";  // the system call that failed, e.g. "rename"
    int errorNumber = 0;    // errno of the failed call; 0 for Name and NotRegular
    std::string path;       // the file the failed step worked on
};

class ReplacingFile {
  public:
    // Checks the target and creates the temporary file next to it. On failure isOpen()
    // is false, failure() tells why and nothing was created.
    explicit ReplacingFile(std::string path, const ReplacingFileOptions& options = {});
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Without a successful commit() the temporary file is removed; the target is untouched.
    ~ReplacingFile();

    bool isOpen() const { return static_cast<bool>(fd_); }

    // Buffers data; full buffers go to the file. False once anything failed.
    bool write(std::string_view data);
    bool write(std::span<const std::uint8_t> data);

    // Writes what is buffered, syncs, renames the file over the target and syncs the
    // folder. False when any step up to the rename failed; the temporary file is then
    // gone and the target as it was.
    bool commit();

    // Removes the temporary file without touching the target.
    void discard();

    // The file that is replaced: the path, or with followSymlink the link's target.
    const std::string& target() const { return target_; }
    const std::string& folder() const { return folder_; }
    const ReplacingFileFailure& failure() const { return failure_; }
    bool failed() const { return failure_.step != ReplacingFileStep::None; }
    // The failure in English, naming the failed call, its file and the system's error
    // text, e.g. "write /srv/.a.ini.123.tmp: No space left on device"; empty if none.
    std::string error() const;

  private:
    bool open(const ReplacingFileOptions& options);
    bool flushBuffer();
    void fail(ReplacingFileStep step, const char* call, int errorNumber, std::string path);

    std::string target_;
    std::string folder_;
    std::string tempPath_;
    UniqueFd fd_;
    std::string buffer_;
    ReplacingFileFailure failure_;
};

}  // namespace ixan
