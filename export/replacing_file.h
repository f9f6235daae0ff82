#pragma once
// A file written in pieces to a temporary file in the target's folder and renamed over
// the target when complete, so the target is either the old file or the whole new one.

#include <string>
#include <string_view>

#include "common/unique_fd.h"

namespace ixan::exporttool {

class ReplacingFile {
  public:
    // Creates the temporary file next to path. On failure isOpen() is false and error()
    // tells why; nothing was created.
    explicit ReplacingFile(std::string path);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Without a successful commit() the temporary file is removed; path is untouched.
    ~ReplacingFile();

    bool isOpen() const { return static_cast<bool>(fd_); }

    // Buffers data; full buffers go to the file. False once a write failed (error()).
    bool write(std::string_view data);

    // Writes what is buffered, syncs and renames the file over path. False with error()
    // set when any step failed; the temporary file is then gone and path as it was.
    bool commit();

    // Removes the temporary file without touching path.
    void discard();

    const std::string& error() const { return error_; }

  private:
    bool flushBuffer();
    void fail(const std::string& what, int errnum);

    std::string path_;
    std::string tempPath_;
    std::string folder_;
    UniqueFd fd_;
    std::string buffer_;
    std::string error_;
};

}  // namespace ixan::exporttool
