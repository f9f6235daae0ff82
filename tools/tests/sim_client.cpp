#include "tools/tests/sim_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <memory>

#include "common/unique_fd.h"

namespace ixan::sim::test {
namespace {

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct Sink {
    HttpReply* reply;
    bool keep;
};

size_t onData(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    sink->reply->bytes += size * count;
    if (sink->keep) {
        sink->reply->body.append(data, size * count);
    }
    return size * count;
}

void appendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

HttpReply post(int port, const std::string& path, const std::string& body,
               const PostOptions& options) {
    HttpReply reply;
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    std::unique_ptr<curl_slist, SlistDeleter> headers(
        curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded"));
    headers.reset(curl_slist_append(headers.release(), "Expect:"));
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
    char error[CURL_ERROR_SIZE] = {};
    Sink sink{&reply, options.keepBody};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "IXANSession");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    if (options.method == "POST") {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else {
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, options.method.c_str());
    }
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, options.timeoutMs);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    reply.code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
    reply.error = error;
    return reply;
}

RawReply rawExchange(int port, const std::string& request, int timeoutMs) {
    RawReply reply;
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!fd || ::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        return reply;
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n =
            ::send(fd.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return reply;
        }
        sent += static_cast<std::size_t>(n);
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[65536];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd.get(), POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) {
            return reply;
        }
        const ssize_t n = ::recv(fd.get(), buf, sizeof buf, 0);
        if (n <= 0) {
            reply.closed = true;
            return reply;
        }
        reply.bytes.append(buf, static_cast<std::size_t>(n));
    }
}

std::string decodeBody(const std::string& body, Charset charset) {
    std::string out;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const auto b = static_cast<unsigned char>(body[i]);
        if (b == '%' && i + 2 < body.size() && hexValue(body[i + 1]) >= 0 &&
            hexValue(body[i + 2]) >= 0) {
            appendUtf8(out,
                       static_cast<unsigned>(hexValue(body[i + 1]) * 16 + hexValue(body[i + 2])));
            i += 2;
        } else if (b >= 0x80 && charset != Charset::Utf8) {
            appendUtf8(out, b);
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::string exportToTable(const std::string& decoded) {
    std::string out;
    for (const char c : decoded) {
        if (c == '\r') {
            continue;
        }
        out += c == ',' ? '\t' : c;
    }
    return out;
}

}  // namespace ixan::sim::test
