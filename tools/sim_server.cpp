#include "tools/sim_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tools/sim_credentials.h"
#include "tools/sim_export_body.h"

namespace ixan::sim {
namespace {

constexpr int kSliceMs = 100;
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kMaxRequestBody = 1024 * 1024;

int toMs(time_t sec, time_t usec) {
    return static_cast<int>(sec * 1000 + usec / 1000);
}

// True when the descriptor became ready (or hung up) within the time-out.
bool pollFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        return r > 0;
    }
}

void addressOf(int fd, bool peer, std::string& ip, int& port) {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    auto* sa = reinterpret_cast<sockaddr*>(&addr);
    const int r = peer ? ::getpeername(fd, sa, &len) : ::getsockname(fd, sa, &len);
    ip.clear();
    port = 0;
    if (r != 0) {
        return;
    }
    char text[INET6_ADDRSTRLEN] = {};
    if (addr.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&addr);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        port = ntohs(in->sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&addr);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        port = ntohs(in6->sin6_port);
    }
    ip = text;
}

// The connection as the HTTP library sees it. It keeps the bytes the library consumes, so
// the request can be recorded exactly as it came over the wire; the recording goes out
// before the first byte of the answer. A muted stream reads normally and sends nothing.
class DeviceStream final : public httplib::Stream {
  public:
    DeviceStream(int sock, int readTimeoutMs, int writeTimeoutMs, RequestRecorder* recorder,
                 bool mute)
        : sock_(sock),
          readTimeoutMs_(readTimeoutMs),
          writeTimeoutMs_(writeTimeoutMs),
          recorder_(recorder),
          mute_(mute) {}

    bool is_readable() const override {
        return pos_ < len_ || pollFor(sock_, POLLIN, readTimeoutMs_);
    }

    bool is_writable() const override {
        return pollFor(sock_, POLLOUT, writeTimeoutMs_) && peerStillThere();
    }

    ssize_t read(char* ptr, size_t size) override {
        if (pos_ == len_) {
            if (!pollFor(sock_, POLLIN, readTimeoutMs_)) {
                return -1;
            }
            ssize_t n;
            do {
                n = ::recv(sock_, buffer_.data(), buffer_.size(), 0);
            } while (n < 0 && errno == EINTR);
            if (n <= 0) {
                return n;
            }
            pos_ = 0;
            len_ = static_cast<std::size_t>(n);
        }
        const std::size_t n = std::min(size, len_ - pos_);
        std::memcpy(ptr, buffer_.data() + pos_, n);
        if (recorder_ != nullptr) {
            pending_.append(ptr, n);
        }
        pos_ += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override {
        flushRecord();
        if (mute_) {
            return static_cast<ssize_t>(size);
        }
        if (!pollFor(sock_, POLLOUT, writeTimeoutMs_)) {
            return -1;
        }
        ssize_t n;
        do {
            n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
        return n;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        addressOf(sock_, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        addressOf(sock_, false, ip, port);
    }
    socket_t socket() const override { return sock_; }

    bool hasBuffered() const { return pos_ < len_; }

    void flushRecord() {
        if (recorder_ != nullptr && !pending_.empty()) {
            recorder_->append(pending_);
            pending_.clear();
        }
    }

  private:
    // A readable socket whose peek finds the end of the stream has been closed by the peer.
    bool peerStillThere() const {
        pollfd p{sock_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) {
            return true;
        }
        if ((p.revents & (POLLERR | POLLHUP)) != 0) {
            return false;
        }
        char byte;
        const ssize_t n = ::recv(sock_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
    }

    const int sock_;
    const int readTimeoutMs_;
    const int writeTimeoutMs_;
    RequestRecorder* const recorder_;
    const bool mute_;
    std::vector<char> buffer_ = std::vector<char>(16 * 1024);
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::string pending_;
};

// The library's server with the connection handling replaced by one over DeviceStream.
class DeviceHttpServer final : public httplib::Server {
  public:
    DeviceHttpServer(RequestRecorder* recorder, bool mute, const std::atomic<bool>& stopping)
        : recorder_(recorder), mute_(mute), stopping_(stopping) {}

    // Closes a listening socket that never got to serve.
    void closeUnstarted() {
        const socket_t s = svr_sock_.exchange(INVALID_SOCKET);
        if (s != INVALID_SOCKET) {
            ::close(s);
        }
    }

  private:
    bool waitForRequest(int sock, int timeoutMs) const {
        for (int waited = 0; waited < timeoutMs && !stopping_; waited += kSliceMs) {
            if (pollFor(sock, POLLIN, std::min(kSliceMs, timeoutMs - waited))) {
                return true;
            }
        }
        return false;
    }

    bool process_and_close_socket(socket_t sock) override {
        bool ret = false;
        {
            DeviceStream strm(sock, toMs(read_timeout_sec_, read_timeout_usec_),
                              toMs(write_timeout_sec_, write_timeout_usec_), recorder_, mute_);
            const int firstWait = toMs(read_timeout_sec_, read_timeout_usec_);
            const int idleWait = static_cast<int>(keep_alive_timeout_sec_ * 1000);
            for (std::size_t count = keep_alive_max_count_; count > 0; --count) {
                const bool first = count == keep_alive_max_count_;
                if (!strm.hasBuffered() && !waitForRequest(sock, first ? firstWait : idleWait)) {
                    break;
                }
                bool closed = false;
                // A device answers uncompressed, whatever the client offers.
                ret = process_request(strm, count == 1, closed, [](httplib::Request& req) {
                    req.headers.erase("Accept-Encoding");
                });
                strm.flushRecord();
                if (!ret || closed || mute_) {
                    break;
                }
            }
            strm.flushRecord();
        }
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
        return ret;
    }

    RequestRecorder* const recorder_;
    const bool mute_;
    const std::atomic<bool>& stopping_;
};

const char* reasonPhrase(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 413:
            return "Payload Too Large";
        case 500:
            return "Internal Server Error";
        case 501:
            return "Not Implemented";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        default:
            return "Error";
    }
}

void setPage(httplib::Response& res, int status) {
    res.status = status;
    if (status == 204 || status == 304) {
        return;
    }
    const std::string title = std::to_string(status) + " " + reasonPhrase(status);
    res.set_content("<html><head><title>" + title + "</title></head><body><h1>" + title +
                        "</h1></body></html>\n",
                    "text/html");
}

}  // namespace

struct SimDevice::Impl {
    Impl(const SimOptions& o, int index, RequestRecorder* r)
        : options(o),
          deviceIndex(index),
          log(deviceLogSettings(o)),
          server(r, o.closeWithoutAnswer, stopFlag) {}

    // False when the device stops before the time is up.
    bool waitUnlessStopped(int ms) {
        std::unique_lock lock(waitMutex);
        return !waitCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
    }

    ExportBody bodyFor(const EventRange& range) {
        std::lock_guard lock(cacheMutex);
        if (!cachedRange || !(*cachedRange == range)) {
            cachedBody = composeExportBody(options, deviceIndex, range);
            cachedRange = range;
        }
        return cachedBody;
    }

    void sendBody(httplib::Response& res, const ExportBody& body) {
        res.status = 200;
        const bool cut = options.abortMidBody || options.stallMidBody;
        if (!cut && !options.oversize) {
            std::string text(static_cast<std::size_t>(body.size()), '\0');
            body.copy(0, text.size(), text.data());
            res.set_content(std::move(text), "text/plain");
            return;
        }
        const std::uint64_t end = cut ? body.size() / 2 : body.size();
        auto buffer = std::make_shared<std::vector<char>>(kChunk);
        res.set_content_provider(
            static_cast<std::size_t>(body.size()), "text/plain",
            [this, body, end, buffer](std::size_t offset, std::size_t length,
                                      httplib::DataSink& sink) {
                if (offset >= end) {
                    if (options.stallMidBody) {
                        while (sink.is_writable() && waitUnlessStopped(kSliceMs)) {
                        }
                    }
                    return false;  // the connection is closed mid-body
                }
                const std::size_t wanted = static_cast<std::size_t>(
                    std::min<std::uint64_t>({length, kChunk, end - offset}));
                const std::size_t n = body.copy(offset, wanted, buffer->data());
                return sink.write(buffer->data(), n);
            });
    }

    void answer(const httplib::Request& req, httplib::Response& res) {
        if (options.delayMs > 0 && !waitUnlessStopped(options.delayMs)) {
            setPage(res, 503);
            return;
        }
        if (options.closeWithoutAnswer) {
            return;  // the stream is muted; the connection closes after this request
        }
        if (options.status != 0) {
            setPage(res, options.status);
            return;
        }
        const bool withQuery = options.path.find('?') != std::string::npos;
        if ((withQuery ? req.target : req.path) != options.path) {
            setPage(res, 404);
            return;
        }
        if (req.method != "POST") {
            setPage(res, 405);
            res.set_header("Allow", "POST");
            return;
        }
        const std::optional<FormCredentials> credentials = parseFormCredentials(req.body);
        if (!credentials || credentials->user != options.user ||
            credentials->pass != options.pass) {
            if (options.authFailure == AuthFailure::EmptyBody) {
                res.status = 200;
                res.set_content(std::string(), "text/plain");
            } else {
                setPage(res, 401);
            }
            return;
        }
        sendBody(res, bodyFor(log.takeExport()));
    }

    const SimOptions options;
    const int deviceIndex;
    DeviceLog log;

    std::atomic<bool> stopFlag{false};
    std::mutex waitMutex;
    std::condition_variable waitCv;
    bool stopping = false;

    std::mutex cacheMutex;
    std::optional<EventRange> cachedRange;
    ExportBody cachedBody;

    DeviceHttpServer server;
    std::thread thread;
    std::atomic<bool> listenDone{false};
    int port = 0;
};

SimDevice::SimDevice(const SimOptions& options, int deviceIndex, RequestRecorder* recorder)
    : impl_(std::make_unique<Impl>(options, deviceIndex, recorder)) {
    httplib::Server& s = impl_->server;
    const int threads = options.threads;
    s.new_task_queue = [threads] {
        return new httplib::ThreadPool(static_cast<std::size_t>(threads));
    };
    // SO_REUSEADDR only: without SO_REUSEPORT a port in use is an error, not shared.
    s.set_socket_options([](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    s.set_read_timeout(5, 0);
    s.set_write_timeout(5, 0);
    s.set_keep_alive_timeout(5);
    s.set_payload_max_length(kMaxRequestBody);
    const auto handler = [impl = impl_.get()](const httplib::Request& req, httplib::Response& res) {
        impl->answer(req, res);
    };
    s.Get(".*", handler);
    s.Post(".*", handler);
    s.Put(".*", handler);
    s.Patch(".*", handler);
    s.Delete(".*", handler);
    s.Options(".*", handler);
}

SimDevice::~SimDevice() {
    stop();
}

bool SimDevice::bind(const ListenAddress& address, std::string& error) {
    errno = 0;
    const int port =
        address.port == 0
            ? impl_->server.bind_to_any_port(address.host)
            : (impl_->server.bind_to_port(address.host, address.port) ? address.port : -1);
    if (port <= 0) {
        error = "cannot listen on " + address.host + ":" + std::to_string(address.port) +
                (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string());
        return false;
    }
    impl_->port = port;
    return true;
}

int SimDevice::port() const {
    return impl_->port;
}

void SimDevice::start() {
    if (impl_->thread.joinable() || impl_->port == 0) {
        return;
    }
    impl_->thread = std::thread([impl = impl_.get()] {
        impl->server.listen_after_bind();
        impl->listenDone = true;
    });
}

void SimDevice::stop() {
    {
        std::lock_guard lock(impl_->waitMutex);
        impl_->stopping = true;
    }
    impl_->stopFlag = true;
    impl_->waitCv.notify_all();
    if (!impl_->thread.joinable()) {
        impl_->server.closeUnstarted();
        return;
    }
    // The library ignores a stop that comes before its accept loop runs.
    while (!impl_->server.is_running() && !impl_->listenDone) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    impl_->server.stop();
    impl_->thread.join();
}

}  // namespace ixan::sim
