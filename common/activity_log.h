#pragma once
// The activity log: one time-stamped line per message, appended with one
// open-append-close so that several processes can share the file without a lock.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace ixan {

// Appends to the file named by the [Global] key `log` of the process configuration,
// looked up at every call. Failures lose the line and are not reported.
void logActivity(std::string_view message);

// The same, to a given file; the file is created with mode 0640 (it holds passwords).
void appendLogLine(const std::string& path, std::string_view message);

// Decimal digits, with "0" in front of any number below 10.
std::string padNumber(std::int32_t number);

// "YYYY-MM-DD HH:MM:SS" from local calendar time.
std::string formatLogStamp(const std::tm& local);

}  // namespace ixan
