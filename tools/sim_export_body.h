#pragma once
// The body of a device's export answer.

#include <cstdint>
#include <memory>
#include <string>

#include "tools/sim_device_log.h"
#include "tools/sim_options.h"

namespace ixan::sim {

// Either the body itself, or (for --oversize) a record pattern repeated up to a length, so
// that a body of any size is produced piece by piece instead of being held.
class ExportBody {
  public:
    ExportBody() = default;
    static ExportBody held(std::string text);
    // REQUIRES: pattern is not empty.
    static ExportBody repeated(std::string pattern, std::uint64_t length);

    std::uint64_t size() const { return size_; }
    // Copies bytes [offset, offset + length) of the body into out (length clipped at the end).
    // Returns the number of bytes copied.
    std::size_t copy(std::uint64_t offset, std::size_t length, char* out) const;

  private:
    std::shared_ptr<const std::string> text_ = std::make_shared<const std::string>();
    std::uint64_t size_ = 0;
};

// The body that the export of `range` of device `deviceIndex` gets under these options:
// charset, line ends, --truncate and --oversize applied.
ExportBody composeExportBody(const SimOptions& options, int deviceIndex, const EventRange& range);

// The events that the first export of a freshly started device holds.
EventRange firstExportRange(const SimOptions& options);

}  // namespace ixan::sim
