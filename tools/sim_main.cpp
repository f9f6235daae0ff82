// ixan-sim: simulated IXAN devices for demos, tests and benchmarks.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim_event.h"
#include "tools/sim_export_body.h"
#include "tools/sim_options.h"
#include "tools/sim_recorder.h"
#include "tools/sim_render.h"
#include "tools/sim_server.h"

namespace {

using namespace ixan::sim;

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

int printFirstExport(const SimOptions& options) {
    const EventRange range = firstExportRange(options);
    if (options.printEvents) {
        const std::vector<SimEvent> events =
            generateEvents(deviceSeed(options, options.deviceIndex), options.deviceIndex,
                           range.first, range.count);
        return writeAll(STDOUT_FILENO, renderEventTable(events)) ? 0 : 1;
    }
    const ExportBody body = composeExportBody(options, options.deviceIndex, range);
    std::vector<char> chunk(64 * 1024);
    for (std::uint64_t offset = 0; offset < body.size();) {
        const std::size_t n = body.copy(offset, chunk.size(), chunk.data());
        if (!writeAll(STDOUT_FILENO, std::string_view(chunk.data(), n))) {
            return 1;
        }
        offset += n;
    }
    return 0;
}

std::string shownHost(const std::string& host) {
    return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

int serve(const SimOptions& options) {
    // Signals are taken by sigwait below; every thread started later inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<RequestRecorder> recorder;
    if (!options.recordFile.empty()) {
        std::string error;
        recorder = RequestRecorder::open(options.recordFile, error);
        if (!recorder) {
            std::fprintf(stderr, "ixan-sim: %s\n", error.c_str());
            return 1;
        }
    }

    std::vector<std::unique_ptr<SimDevice>> devices;
    for (std::size_t i = 0; i < options.listen.size(); ++i) {
        auto device = std::make_unique<SimDevice>(options, static_cast<int>(i), recorder.get());
        std::string error;
        if (!device->bind(options.listen[i], error)) {
            std::fprintf(stderr, "ixan-sim: %s\n", error.c_str());
            return 1;
        }
        devices.push_back(std::move(device));
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        devices[i]->start();
        std::printf("listening on %s:%d\n", shownHost(options.listen[i].host).c_str(),
                    devices[i]->port());
    }
    std::fflush(stdout);

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    for (auto& device : devices) {
        device->stop();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedOptions parsed = parseSimOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "ixan-sim: %s\n%s", parsed.error.c_str(), simUsage().c_str());
        return 2;
    }
    const SimOptions& options = parsed.options;
    if (options.help) {
        std::fputs(simUsage().c_str(), stdout);
        return 0;
    }
    if (options.printExport || options.printEvents) {
        return printFirstExport(options);
    }
    return serve(options);
}
