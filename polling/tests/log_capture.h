#pragma once
// Points the activity log of the process configuration at a fresh temporary file and
// reads its messages back (time stamps cut off).

#include <string>
#include <vector>

namespace ixan::test {

class LogCapture {
  public:
    LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    ~LogCapture();

    std::vector<std::string> messages() const;

  private:
    std::string dir_;
    std::string path_;
    std::string previous_;
};

}  // namespace ixan::test
