#include "tools/sim_export_body.h"

#include <algorithm>
#include <cstring>

#include "tools/sim_event.h"
#include "tools/sim_render.h"

namespace ixan::sim {

ExportBody ExportBody::held(std::string text) {
    ExportBody body;
    body.size_ = text.size();
    body.text_ = std::make_shared<const std::string>(std::move(text));
    return body;
}

ExportBody ExportBody::repeated(std::string pattern, std::uint64_t length) {
    ExportBody body;
    body.size_ = length;
    body.text_ = std::make_shared<const std::string>(std::move(pattern));
    return body;
}

std::size_t ExportBody::copy(std::uint64_t offset, std::size_t length, char* out) const {
    if (offset >= size_) {
        return 0;
    }
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
    const std::string& text = *text_;
    std::size_t done = 0;
    while (done < wanted) {
        const auto at = static_cast<std::size_t>((offset + done) % text.size());
        const std::size_t n = std::min(wanted - done, text.size() - at);
        std::memcpy(out + done, text.data() + at, n);
        done += n;
    }
    return done;
}

ExportBody composeExportBody(const SimOptions& options, int deviceIndex, const EventRange& range) {
    const RenderOptions render{options.charset, options.crlf};
    const std::uint64_t seed = deviceSeed(options, deviceIndex);
    const std::vector<SimEvent> events =
        generateEvents(seed, deviceIndex, range.first, range.count);
    if (options.oversize) {
        std::string pattern = renderExport(events, render);
        if (pattern.empty()) {
            pattern = renderRecord(generateEvent(seed, deviceIndex, range.first), render);
        }
        return ExportBody::repeated(std::move(pattern), *options.oversize);
    }
    if (options.truncate) {
        return ExportBody::held(renderTruncatedExport(events, render));
    }
    return ExportBody::held(renderExport(events, render));
}

EventRange firstExportRange(const SimOptions& options) {
    DeviceLog log(deviceLogSettings(options));
    return log.takeExport();
}

}  // namespace ixan::sim
